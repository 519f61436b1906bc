#pragma once
// The six files of a write as the device must receive them, written out by hand from the file
// formats for a handful of devices, each as it stands in the settings panel. The target of every
// write is the device at 127.0.0.3.

#include <QStringList>

namespace nimbrel::testing {

// A QUORIX Wi-Fi client with static addresses on both sides: announced with the settings
// "no;Office;wpa;office-key;no;10.1.0.5;255.255.0.0;10.1.0.1;no;172.16.0.5;255.255.255.0;172.16.0.1;".
inline const QStringList kQuorixClientStaticEthernet = {
    QStringLiteral(R"(127.0.0.3
create_file
/Talvonex/CONFIG_NET.TXT
[AP] No
[SSID] Office
[PASS] office-key
[ENC] WPA
[DHCP] No
[IP] 10.1.0.5
[MASK] 255.255.0.0
[GW] 10.1.0.1
)"),
    QStringLiteral(R"(127.0.0.3
create_file
/Talvonex/CONFIG_ETH.TXT
[DHCP] No
[IP] 172.16.0.5
[MASK] 255.255.255.0
[GW] 172.16.0.1
)"),
    QStringLiteral(R"(127.0.0.3
create_file
/etc/wpa_supplicant.conf
ctrl_interface=/var/run/wpa_supplicant
ap_scan=1

network={
ssid="Office"
scan_ssid=1
proto=WPA RSN
key_mgmt=WPA-PSK
pairwise=CCMP TKIP
group=CCMP TKIP
psk="office-key"
}
)"),
    QStringLiteral(R"(127.0.0.3
create_file
/etc/hostapd.conf
interface=ra0
driver=nl80211
ssid=Office
channel=1
hw_mode=g
wpa=1
wpa_passphrase=office-key
wpa_key_mgmt=WPA-PSK
wpa_pairwise=TKIP
rsn_pairwise=CCMP
)"),
    QStringLiteral(R"(127.0.0.3
create_file
/etc/udhcpd.conf
start 10.1.0.10
end 10.1.0.100
interface ra0
option subnet 255.255.0.0
option router 10.1.0.5
)"),
    QStringLiteral(R"(127.0.0.3
create_file
/Talvonex/actualizado
)"),
};

// A QUORIX access point with static Ethernet elsewhere, on its first subnet ("Change subnet"
// off, dhcp "No", 192.168.0.x) from "yes;Site-AP;wpa;ap-secret;no;;;;no;10.20.0.2;255.255.255.0;
// 10.20.0.1;", or on its second ("Change subnet" on, dhcp "Yes", 192.168.1.x) when the fifth
// value is "yes".
inline QStringList quorixAccessPoint(const QString& dhcp, const QString& subnet)
{
    return {
        QStringLiteral(R"(127.0.0.3
create_file
/Talvonex/CONFIG_NET.TXT
[AP] Yes
[SSID] Site-AP
[PASS] ap-secret
[ENC] WPA
[DHCP] %1
[IP] %2.1
[MASK] 255.255.255.0
[GW] %2.1
)")
            .arg(dhcp, subnet),
        QStringLiteral(R"(127.0.0.3
create_file
/Talvonex/CONFIG_ETH.TXT
[DHCP] No
[IP] 10.20.0.2
[MASK] 255.255.255.0
[GW] 10.20.0.1
)"),
        QStringLiteral(R"(127.0.0.3
create_file
/etc/wpa_supplicant.conf
ctrl_interface=/var/run/wpa_supplicant
ap_scan=2

network={
ssid="Site-AP"
scan_ssid=1
proto=WPA RSN
key_mgmt=WPA-PSK
pairwise=CCMP TKIP
group=CCMP TKIP
psk="ap-secret"
}
)"),
        QStringLiteral(R"(127.0.0.3
create_file
/etc/hostapd.conf
interface=ra0
driver=nl80211
ssid=Site-AP
channel=1
hw_mode=g
wpa=1
wpa_passphrase=ap-secret
wpa_key_mgmt=WPA-PSK
wpa_pairwise=TKIP
rsn_pairwise=CCMP
)"),
        QStringLiteral(R"(127.0.0.3
create_file
/etc/udhcpd.conf
start %1.10
end %1.100
interface ra0
option subnet 255.255.255.0
option router %1.1
)")
            .arg(subnet),
        QStringLiteral(R"(127.0.0.3
create_file
/Talvonex/actualizado
)"),
    };
}

// A Wi-Fi-only model on DHCP with an open network: "no;Cafe;open;;yes;;;;;;;;". Its Ethernet
// side is blank in the panel, and the DHCP server's range comes from empty texts (0.0.0.0).
inline const QStringList kWifiOnlyDhcpOpen = {
    QStringLiteral("127.0.0.3\n"
                   "create_file\n"
                   "/Talvonex/CONFIG_NET.TXT\n"
                   "[AP] No\n"
                   "[SSID] Cafe\n"
                   "[PASS] \n"
                   "[ENC] OPEN\n"
                   "[DHCP] Yes\n"
                   "[IP] \n"
                   "[MASK] \n"
                   "[GW] \n"),
    QStringLiteral("127.0.0.3\n"
                   "create_file\n"
                   "/Talvonex/CONFIG_ETH.TXT\n"
                   "[DHCP] No\n"
                   "[IP] \n"
                   "[MASK] \n"
                   "[GW] \n"),
    QStringLiteral(R"(127.0.0.3
create_file
/etc/wpa_supplicant.conf
ctrl_interface=/var/run/wpa_supplicant
ap_scan=1

network={
ssid="Cafe"
scan_ssid=1
proto=WPA RSN
key_mgmt=WPA-PSK
pairwise=CCMP TKIP
group=CCMP TKIP
psk=""
}
)"),
    QStringLiteral(R"(127.0.0.3
create_file
/etc/hostapd.conf
interface=ra0
channel=1
ssid=Cafe
driver=nl80211
)"),
    QStringLiteral("127.0.0.3\n"
                   "create_file\n"
                   "/etc/udhcpd.conf\n"
                   "start 0.0.0.10\n"
                   "end 0.0.0.100\n"
                   "interface ra0\n"
                   "option subnet \n"
                   "option router \n"),
    QStringLiteral(R"(127.0.0.3
create_file
/Talvonex/actualizado
)"),
};

// A Wi-Fi-only model on DHCP with WEP: "no;Shop;wep;<key>;yes;;;;;;;;". Keys of 10 and 26
// characters are hexadecimal and go bare into hostapd.conf; keys of 5 and 13 are text, quoted.
inline QStringList wifiOnlyDhcpWep(const QString& key, const QString& hostapdKey)
{
    return {
        QStringLiteral("127.0.0.3\n"
                       "create_file\n"
                       "/Talvonex/CONFIG_NET.TXT\n"
                       "[AP] No\n"
                       "[SSID] Shop\n"
                       "[PASS] %1\n"
                       "[ENC] WEP\n"
                       "[DHCP] Yes\n"
                       "[IP] \n"
                       "[MASK] \n"
                       "[GW] \n")
            .arg(key),
        QStringLiteral("127.0.0.3\n"
                       "create_file\n"
                       "/Talvonex/CONFIG_ETH.TXT\n"
                       "[DHCP] No\n"
                       "[IP] \n"
                       "[MASK] \n"
                       "[GW] \n"),
        QStringLiteral(R"(127.0.0.3
create_file
/etc/wpa_supplicant.conf
ctrl_interface=/var/run/wpa_supplicant
ap_scan=1

network={
ssid="Shop"
scan_ssid=1
proto=WPA RSN
key_mgmt=WPA-PSK
pairwise=CCMP TKIP
group=CCMP TKIP
psk="%1"
}
)")
            .arg(key),
        QStringLiteral(R"(127.0.0.3
create_file
/etc/hostapd.conf
interface=ra0
driver=nl80211
ssid=Shop
channel=1
wep_default_key=0
wep_key0=%1
)")
            .arg(hostapdKey),
        QStringLiteral("127.0.0.3\n"
                       "create_file\n"
                       "/etc/udhcpd.conf\n"
                       "start 0.0.0.10\n"
                       "end 0.0.0.100\n"
                       "interface ra0\n"
                       "option subnet \n"
                       "option router \n"),
        QStringLiteral(R"(127.0.0.3
create_file
/Talvonex/actualizado
)"),
    };
}

} // namespace nimbrel::testing
