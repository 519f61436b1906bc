// The settings panel: loading a device's settings into it, writing every edit back into the
// device's record, checking them, sending them and acting on the device's verdict.

#include "app/tform1.h"

#include "app/device_list_model.h"
#include "app/device_list_view.h"
#include "app/message_dialog.h"
#include "app/switch_widget.h"
#include "app/text_conversion.h"
#include "config/scramble.h"
#include "config/write_set.h"
#include "devices/settings_validation.h"
#include "util/text.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QThread>
#include <QToolButton>

namespace nimbrel {

namespace {

constexpr int kIndexOpen = 0;
constexpr int kIndexWep = 1;
constexpr int kIndexWpa = 2;

std::string yesNo(bool on)
{
    return on ? "yes" : "no";
}

int encryptionIndex(const std::string& word)
{
    if (contains(word, "open"))
        return kIndexOpen;
    return contains(word, "wep") ? kIndexWep : kIndexWpa;
}

// Shows a busy cursor for as long as the pauses of a write block the window.
// A write whose first message the platform refused: nothing left the computer.
class FirstMessageNotSent : public NetworkError {
public:
    using NetworkError::NetworkError;
};

class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace

WebServer* TForm1::selectedRecord()
{
    const int index = selectedIndex();
    return servers.contains_index(index) ? &servers.at(index) : nullptr;
}

WebServer* TForm1::shownRecord()
{
    WebServer* record = selectedRecord();
    return record != nullptr && record->ip == shownDevice_ ? record : nullptr;
}

void TForm1::writeSelected(std::string WebServer::*field, std::string value)
{
    // An edit belongs to the device on screen; it never lands in another selected meanwhile.
    if (WebServer* record = shownRecord())
        record->*field = std::move(value);
}

void TForm1::bt_net_refreshClick()
{
    if (const WebServer* record = selectedRecord())
        server->send(kSettingsRequest, record->ip, server->port());
}

void TForm1::readNetworkResponse(const std::string& sender, const std::string& text)
{
    WebServer* target = servers.find(sender);
    if (target == nullptr)
        return;
    parse_network_response(*target, text);
    showSettings();
}

void TForm1::showSettings()
{
    const WebServer* selected = selectedRecord();
    if (selected == nullptr)
        return;
    // Every decision reads this copy: the widget changes below write into the record itself.
    const WebServer r = *selected;
    const bool quorix = is_quorix(r);
    shownDevice_ = r.ip;

    s_w_ap->setChecked(contains(r.w_ap, "yes"));
    e_w_ssid->setText(fromBytes(r.w_ssid));
    cb_w_enc->setCurrentIndex(encryptionIndex(r.w_enc));
    e_w_pass->setText(fromBytes(r.w_pass));
    s_w_dhcp->setChecked(contains(r.w_dhcp, "yes"));
    e_w_ip->setText(fromBytes(r.w_ip));
    e_w_mask->setText(fromBytes(r.w_mask));
    e_w_gw->setText(fromBytes(r.w_gw));
    l_w_dhcp->setText(QStringLiteral("Enable DHCP"));

    if (s_w_ap->isChecked()) {
        // An access point always uses WPA and serves its own default subnet.
        cb_w_enc->setCurrentIndex(kIndexWpa);
        cb_w_enc->setEnabled(false);
        const bool secondSubnet = s_w_dhcp->isChecked() && quorix;
        const QString gateway =
            secondSubnet ? QStringLiteral("192.168.1.1") : QStringLiteral("192.168.0.1");
        e_w_ip->setText(gateway);
        e_w_mask->setText(QStringLiteral("255.255.255.0"));
        e_w_gw->setText(gateway);
        s_w_dhcp->setVisible(false);
        l_w_dhcp->setVisible(false);
    } else {
        cb_w_enc->setEnabled(true);
        s_w_dhcp->setVisible(true);
        l_w_dhcp->setVisible(true);
    }
    const bool wifiStatic = !s_w_dhcp->isChecked() && !s_w_ap->isChecked();
    for (QLineEdit* edit : {e_w_ip, e_w_mask, e_w_gw})
        edit->setEnabled(wifiStatic);

    s_eth_dhcp->setChecked(contains(r.eth_dhcp, "yes"));
    e_eth_ip->setText(fromBytes(r.eth_ip));
    e_eth_mask->setText(fromBytes(r.eth_mask));
    e_eth_gw->setText(fromBytes(r.eth_gw));
    for (QLineEdit* edit : {e_eth_ip, e_eth_mask, e_eth_gw})
        edit->setEnabled(!s_eth_dhcp->isChecked());

    const int ethernetTab = TabControl1->indexOf(TabEthernet);
    if (quorix) {
        TabControl1->setTabEnabled(ethernetTab, true);
        if (s_w_ap->isChecked()) {
            // On the QUORIX model the hidden DHCP switch chooses the access point's subnet.
            l_w_dhcp->setText(QStringLiteral("Change subnet"));
            s_w_dhcp->setVisible(true);
            l_w_dhcp->setVisible(true);
        }
    } else {
        s_eth_dhcp->setChecked(false);
        for (QLineEdit* edit : {e_eth_ip, e_eth_mask, e_eth_gw})
            edit->clear();
        TabControl1->setTabEnabled(ethernetTab, false);
        TabControl1->setCurrentIndex(0);
    }
}

void TForm1::s_w_apClick()
{
    if (selectedRecord() == nullptr)
        return;
    writeSelected(&WebServer::w_ap, yesNo(s_w_ap->isChecked()));
    showSettings();
}

void TForm1::s_w_dhcpClick()
{
    if (selectedRecord() == nullptr)
        return;
    writeSelected(&WebServer::w_dhcp, yesNo(s_w_dhcp->isChecked()));
    showSettings();
}

void TForm1::s_eth_dhcpClick()
{
    if (selectedRecord() == nullptr)
        return;
    writeSelected(&WebServer::eth_dhcp, yesNo(s_eth_dhcp->isChecked()));
    showSettings();
}

void TForm1::cb_w_encChange()
{
    const int index = cb_w_enc->currentIndex();
    writeSelected(&WebServer::w_enc, index == kIndexOpen  ? "open"
                                     : index == kIndexWep ? "wep"
                                                          : "wpa");
}

void TForm1::e_w_ssidChangeTracking()
{
    writeSelected(&WebServer::w_ssid, toBytes(e_w_ssid->text()));
}

void TForm1::e_w_passChangeTracking()
{
    writeSelected(&WebServer::w_pass, toBytes(e_w_pass->text()));
}

void TForm1::e_w_ipChangeTracking()
{
    writeSelected(&WebServer::w_ip, toBytes(e_w_ip->text()));
}

void TForm1::e_w_maskChangeTracking()
{
    writeSelected(&WebServer::w_mask, toBytes(e_w_mask->text()));
}

void TForm1::e_w_gwChangeTracking()
{
    writeSelected(&WebServer::w_gw, toBytes(e_w_gw->text()));
}

void TForm1::e_eth_ipChangeTracking()
{
    writeSelected(&WebServer::eth_ip, toBytes(e_eth_ip->text()));
}

void TForm1::e_eth_maskChangeTracking()
{
    writeSelected(&WebServer::eth_mask, toBytes(e_eth_mask->text()));
}

void TForm1::e_eth_gwChangeTracking()
{
    writeSelected(&WebServer::eth_gw, toBytes(e_eth_gw->text()));
}

bool TForm1::validateSettings()
{
    const WebServer* selected = selectedRecord();
    if (selected == nullptr)
        return false;
    const std::optional<std::string> fault =
        validate_settings(*selected, toBytes(e_w_mask->text()), toBytes(e_eth_mask->text()));
    if (fault)
        MessageDialog(fromBytes(*fault), DialogKind::Warning);
    return !fault;
}

void TForm1::b_saveClick()
{
    const WebServer* selected = selectedRecord();
    if (selected == nullptr) {
        MessageDialog(QStringLiteral("No device selected"), DialogKind::Warning);
        return;
    }
    // The messages carry the panel's values and go to the selected device: both must be the same
    // device, or one device's settings would be written into another.
    if (shownRecord() != selected) {
        MessageDialog(QStringLiteral("The settings shown are not those of the selected device. "
                                     "Nothing was sent: click the device in the list and check "
                                     "its settings again."),
                      DialogKind::Warning);
        return;
    }
    const QString password = edit_admin_pass->text();
    if (password.size() > 4) {
        MessageDialog(QStringLiteral("The password must contain at most 4 characters"),
                      DialogKind::Warning);
        return;
    }
    // Bytes above 127 go out as '?' and a line feed adds lines to the device's files: refuse
    // what the device would not receive as typed.
    if (!isPrintableAscii(password)) {
        MessageDialog(QStringLiteral("The password must contain only printable ASCII characters"),
                      DialogKind::Warning);
        return;
    }
    for (const QLineEdit* edit :
         {e_w_ssid, e_w_pass, e_w_ip, e_w_mask, e_w_gw, e_eth_ip, e_eth_mask, e_eth_gw}) {
        if (!isPrintableAscii(edit->text())) {
            MessageDialog(
                QStringLiteral("Network settings must contain only printable ASCII characters"),
                DialogKind::Warning);
            return;
        }
    }
    if (!validateSettings())
        return;
    const std::string previousTarget = std::exchange(write_target, selected->ip);
    try {
        sendWrite(*selected);
    } catch (const FirstMessageNotSent&) {
        // Nothing reached the device, so no verdict can come from it: the write never happened.
        write_target = previousTarget;
        throw;
    }
}

void TForm1::sendWrite(const WebServer& device)
{
    const WriteSettings settings{
        .target = device.ip,
        .access_point = s_w_ap->isChecked(),
        .ssid = toBytes(e_w_ssid->text()),
        .password = toBytes(e_w_pass->text()),
        .encryption_index = cb_w_enc->currentIndex(),
        .wifi_dhcp = s_w_dhcp->isChecked(),
        .wifi_ip = toBytes(e_w_ip->text()),
        .wifi_mask = toBytes(e_w_mask->text()),
        .wifi_gateway = toBytes(e_w_gw->text()),
        .ethernet_dhcp = s_eth_dhcp->isChecked(),
        .ethernet_ip = toBytes(e_eth_ip->text()),
        .ethernet_mask = toBytes(e_eth_mask->text()),
        .ethernet_gateway = toBytes(e_eth_gw->text()),
    };
    const std::string key = toBytes(edit_admin_pass->text());
    // Through the interface the device was found on, so the write reaches it and no other network.
    const int interfaceIndex = device.interface_index;
    const auto messages = build_write_messages(settings);

    BusyCursor busy;
    try {
        server->broadcastVia(scramble_text(messages[0], key), interfaceIndex);
    } catch (const NetworkError& error) {
        throw FirstMessageNotSent(error.what());
    }
    for (std::size_t i = 1; i < messages.size(); ++i) {
        // The device needs time to store each file; the pause blocks the window on purpose.
        QThread::msleep(static_cast<unsigned long>(options_.sendPauseMs));
        server->broadcastVia(scramble_text(messages[i], key), interfaceIndex);
    }
}

void TForm1::handleErrorVerdict()
{
    write_target.clear();
    verdict_busy = true;
    MessageDialog(QStringLiteral("Incorrect password"), DialogKind::Warning);
    verdict_busy = false;
}

void TForm1::handleSuccessVerdict()
{
    verdict_busy = true;
    MessageDialog(QStringLiteral("Parameters saved successfully. Wait until device restarts."),
                  DialogKind::Confirmation);
    verdict_busy = false;
    // The device restarts, possibly under another address: it is listed again when it answers.
    servers.remove(write_target);
    updateList();
    write_target.clear();
}

} // namespace nimbrel
