#include "app/settings_panel.h"

#include "app/switch_widget.h"
#include "app/text_conversion.h"
#include "app/widget_factory.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include <array>
#include <utility>

namespace nimbrel {

namespace {

constexpr int kPanel2Height = 115;
constexpr int kRetrieveButtonSize = 50;

// Tabs of a fixed 158 x 50, as the settings panel is laid out around them.
class FixedTabBar : public QTabBar {
public:
    using QTabBar::QTabBar;

protected:
    QSize tabSizeHint(int) const override { return {158, 50}; }
};

class SettingsTabWidget : public QTabWidget {
public:
    explicit SettingsTabWidget(QWidget* parent) : QTabWidget(parent)
    {
        setTabBar(new FixedTabBar(this));
    }
};

void setAddresses(const std::array<QLineEdit*, 3>& edits, const AddressTexts& texts)
{
    edits[0]->setText(fromBytes(texts.ip));
    edits[1]->setText(fromBytes(texts.mask));
    edits[2]->setText(fromBytes(texts.gateway));
}

void enableAll(const std::array<QLineEdit*, 3>& edits, bool enabled)
{
    for (QLineEdit* edit : edits)
        edit->setEnabled(enabled);
}

} // namespace

SettingsPanel::SettingsPanel(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("panel_config"));
    TabControl1 = new SettingsTabWidget(this);
    TabControl1->setObjectName(QStringLiteral("TabControl1"));
    TabWifi = make<QWidget>(nullptr, "TabWifi");
    TabEthernet = make<QWidget>(nullptr, "TabEthernet");
    TabControl1->addTab(TabWifi, QStringLiteral("Wifi"));
    TabControl1->addTab(TabEthernet, QStringLiteral("Ethernet"));
    createWifiPage();
    createEthernetPage();
    createPanel2();

    // Over the free right end of the tab strip.
    bt_net_refresh = make<QToolButton>(this, "bt_net_refresh");
    bt_net_refresh->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    bt_net_refresh->setIconSize({24, 24});
    bt_net_refresh->setToolTip(QStringLiteral("Retrieve network information"));
    bt_net_refresh->setAccessibleName(QStringLiteral("Retrieve network information"));
    bt_net_refresh->raise();

    describeControls();
    connectFields();
    connect(bt_net_refresh, &QToolButton::clicked, this, &SettingsPanel::retrieveClicked);
    connect(b_save, &QPushButton::clicked, this, &SettingsPanel::sendClicked);
}

void SettingsPanel::createWifiPage()
{
    QWidget* page = TabWifi;
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    l_w_ap = makeLabel(page, "l_w_ap", {120, 41, 161, 17}, "Enable AP", right);
    l_w_ap->setToolTip(QStringLiteral("Set the device as an Access Point"));
    s_w_ap = makeSwitch(page, "s_w_ap", {296, 35, 59, 27}, "Enable AP");
    l_w_ssid = makeLabel(page, "l_w_ssid", {16, 89, 161, 17}, "SSID:");
    e_w_ssid = makeEdit(page, "e_w_ssid", {184, 87, 171, 22}, "SSID");
    l_w_enc = makeLabel(page, "l_w_enc", {16, 129, 161, 17}, "Encription:");
    cb_w_enc = make<QComboBox>(page, "cb_w_enc", {184, 127, 171, 22});
    cb_w_enc->addItems({QStringLiteral("OPEN"), QStringLiteral("WEP"), QStringLiteral("WPA")});
    cb_w_enc->setAccessibleName(QStringLiteral("Encryption"));
    l_w_pass = makeLabel(page, "l_w_pass", {16, 169, 161, 17}, "Password:");
    e_w_pass = makeEdit(page, "e_w_pass", {184, 167, 171, 22}, "Wi-Fi password");
    e_w_pass->setEchoMode(QLineEdit::Password);
    l_w_dhcp = makeLabel(page, "l_w_dhcp", {120, 219, 161, 17}, "Enable DHCP", right);
    s_w_dhcp = makeSwitch(page, "s_w_dhcp", {296, 213, 59, 27}, "Wi-Fi DHCP");
    l_w_ip = makeLabel(page, "l_w_ip", {16, 267, 161, 17}, "IP Address:");
    e_w_ip = makeEdit(page, "e_w_ip", {184, 265, 171, 22}, "Wi-Fi IP address");
    l_w_mask = makeLabel(page, "l_w_mask", {16, 307, 161, 17}, "Subnet mask:");
    e_w_mask = makeEdit(page, "e_w_mask", {184, 305, 171, 22}, "Wi-Fi subnet mask");
    l_w_gw = makeLabel(page, "l_w_gw", {16, 347, 161, 17}, "Gateway:");
    e_w_gw = makeEdit(page, "e_w_gw", {184, 345, 171, 22}, "Wi-Fi gateway");
}

void SettingsPanel::createEthernetPage()
{
    QWidget* page = TabEthernet;
    l_eth_dhcp = makeLabel(page, "l_eth_dhcp", {120, 41, 161, 17}, "Enable DHCP",
                           Qt::AlignRight | Qt::AlignVCenter);
    s_eth_dhcp = makeSwitch(page, "s_eth_dhcp", {296, 35, 59, 27}, "Ethernet DHCP");
    l_eth_ip = makeLabel(page, "l_eth_ip", {16, 89, 161, 17}, "IP Address:");
    e_eth_ip = makeEdit(page, "e_eth_ip", {184, 87, 171, 22}, "Ethernet IP address");
    l_eth_mask = makeLabel(page, "l_eth_mask", {16, 129, 161, 17}, "Subnet mask:");
    e_eth_mask = makeEdit(page, "e_eth_mask", {184, 127, 171, 22}, "Ethernet subnet mask");
    l_eth_gw = makeLabel(page, "l_eth_gw", {16, 169, 161, 17}, "Gateway:");
    e_eth_gw = makeEdit(page, "e_eth_gw", {184, 167, 171, 22}, "Ethernet gateway");
}

void SettingsPanel::createPanel2()
{
    Panel2 = make<QFrame>(this, "Panel2");
    Panel2->setStyleSheet(
        QStringLiteral("QFrame#Panel2 { background-color: #FEFEFE; border: 1px solid #CCCCCC; }"));
    edit_admin_pass = makeEdit(Panel2, "edit_admin_pass", {16, 20, 209, 22}, "Admin password");
    edit_admin_pass->setPlaceholderText(QStringLiteral("Admin password"));
    b_save = make<QPushButton>(Panel2, "b_save", {248, 20, 105, 22});
    b_save->setText(QStringLiteral("Send"));
    Image1 = make<QLabel>(Panel2, "Image1", {16, 58, 48, 42});
    Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(128, 128));
    Image1->setScaledContents(true);
    Label2 = makeLabel(Panel2, "Label2", {72, 58, 281, 41},
                       "Note: Enter the admin password of the device before you save the network "
                       "parameters.",
                       Qt::AlignLeft | Qt::AlignTop);
    Label2->setWordWrap(true);
}

void SettingsPanel::describeControls()
{
    describe({
        {TabControl1, "Network settings", "Network settings of the selected device"},
        {TabWifi, "Wi-Fi", "Wi-Fi settings of the selected device"},
        {TabEthernet, "Ethernet", "Ethernet settings of the selected device"},
        {s_w_ap, nullptr, "On: the device offers its own Wi-Fi network; off: it joins one"},
        {e_w_ssid, nullptr, "Name of the Wi-Fi network"},
        {cb_w_enc, nullptr, "Encryption of the Wi-Fi network: OPEN, WEP or WPA"},
        {e_w_pass, nullptr, "Password of the Wi-Fi network"},
        {s_w_dhcp, nullptr, "On: the device's Wi-Fi address comes from a DHCP server"},
        {e_w_ip, nullptr, "Wi-Fi IPv4 address of the device, such as 192.168.1.20"},
        {e_w_mask, nullptr, "Wi-Fi subnet mask, such as 255.255.255.0"},
        {e_w_gw, nullptr, "Wi-Fi gateway address"},
        {s_eth_dhcp, nullptr, "On: the device's Ethernet address comes from a DHCP server"},
        {e_eth_ip, nullptr, "Ethernet IPv4 address of the device, such as 192.168.1.21"},
        {e_eth_mask, nullptr, "Ethernet subnet mask, such as 255.255.255.0"},
        {e_eth_gw, nullptr, "Ethernet gateway address"},
        {edit_admin_pass, nullptr, "Administrator password of the selected device"},
        {b_save, nullptr, "Sends the settings to the selected device, which then restarts"},
        {bt_net_refresh, nullptr, "Reads the network settings of the selected device again"},
        {Image1, "Note", "Information symbol"},
        {Label2, nullptr, "The admin password is needed to send settings"},
    });
    const std::pair<QLabel*, QWidget*> buddies[] = {
        {l_w_ap, s_w_ap},     {l_w_ssid, e_w_ssid},     {l_w_enc, cb_w_enc},
        {l_w_pass, e_w_pass}, {l_w_dhcp, s_w_dhcp},     {l_w_ip, e_w_ip},
        {l_w_mask, e_w_mask}, {l_w_gw, e_w_gw},         {l_eth_dhcp, s_eth_dhcp},
        {l_eth_ip, e_eth_ip}, {l_eth_mask, e_eth_mask}, {l_eth_gw, e_eth_gw}};
    for (const auto& [label, control] : buddies)
        label->setBuddy(control);
}

void SettingsPanel::connectFields()
{
    // An edit reports every change of its text, the program's own included, and only a real one.
    const std::pair<QLineEdit*, Field> edits[] = {
        {e_w_ssid, &WebServer::w_ssid},     {e_w_pass, &WebServer::w_pass},
        {e_w_ip, &WebServer::w_ip},         {e_w_mask, &WebServer::w_mask},
        {e_w_gw, &WebServer::w_gw},         {e_eth_ip, &WebServer::eth_ip},
        {e_eth_mask, &WebServer::eth_mask}, {e_eth_gw, &WebServer::eth_gw}};
    for (const auto& [edit, field] : edits)
        connect(edit, &QLineEdit::textChanged, this,
                [this, f = field](const QString& text) { Q_EMIT fieldEdited(f, toBytes(text)); });
    connect(cb_w_enc, &QComboBox::currentIndexChanged, this,
            [this](int index) { Q_EMIT fieldEdited(&WebServer::w_enc, encryption_word(index)); });
    // A switch reports only the user's clicks, after it has taken its new state.
    const std::pair<Switch*, Field> switches[] = {{s_w_ap, &WebServer::w_ap},
                                                  {s_w_dhcp, &WebServer::w_dhcp},
                                                  {s_eth_dhcp, &WebServer::eth_dhcp}};
    for (const auto& [toggle, field] : switches)
        connect(toggle, &Switch::clicked, this,
                [this, f = field](bool on) { Q_EMIT switchClicked(f, on ? "yes" : "no"); });
}

void SettingsPanel::load(const PanelState& s)
{
    const std::array wifi = {e_w_ip, e_w_mask, e_w_gw};
    const std::array ethernet = {e_eth_ip, e_eth_mask, e_eth_gw};
    s_w_ap->setChecked(s.access_point);
    e_w_ssid->setText(fromBytes(s.ssid));
    cb_w_enc->setCurrentIndex(s.encryption);
    e_w_pass->setText(fromBytes(s.password));
    s_w_dhcp->setChecked(s.wifi_dhcp);
    setAddresses(wifi, s.wifi);
    if (s.forced_encryption)
        cb_w_enc->setCurrentIndex(*s.forced_encryption);
    if (s.forced_wifi)
        setAddresses(wifi, *s.forced_wifi);
    cb_w_enc->setEnabled(s.encryption_enabled);
    enableAll(wifi, s.wifi_addresses_enabled);

    s_eth_dhcp->setChecked(s.ethernet_dhcp);
    setAddresses(ethernet, s.ethernet);
    enableAll(ethernet, s.ethernet_addresses_enabled);
    if (s.wifi_only) {
        s_eth_dhcp->setChecked(false);
        setAddresses(ethernet, {});
    }

    l_w_dhcp->setText(fromBytes(s.wifi_dhcp_caption));
    s_w_dhcp->setVisible(s.wifi_dhcp_visible);
    l_w_dhcp->setVisible(s.wifi_dhcp_visible);
    TabControl1->setTabEnabled(TabControl1->indexOf(TabEthernet), s.ethernet_tab_enabled);
    if (s.wifi_only)
        TabControl1->setCurrentIndex(0);
}

void SettingsPanel::blank()
{
    s_w_ap->setChecked(false);
    e_w_ssid->clear();
    cb_w_enc->setCurrentIndex(kEncryptionOpen);
    e_w_pass->clear();
    s_w_dhcp->setChecked(true);
    setAddresses({e_w_ip, e_w_mask, e_w_gw}, {});
    s_eth_dhcp->setChecked(false);
    setAddresses({e_eth_ip, e_eth_mask, e_eth_gw}, {});
}

void SettingsPanel::unlockExpertControls()
{
    TabControl1->setTabEnabled(TabControl1->indexOf(TabEthernet), true);
    if (s_w_ap->isChecked()) {
        l_w_dhcp->setText(QStringLiteral("Change subnet"));
        s_w_dhcp->setVisible(true);
        l_w_dhcp->setVisible(true);
    }
}

WriteSettings SettingsPanel::shownSettings() const
{
    return {
        .target = {},
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
}

QStringList SettingsPanel::settingTexts() const
{
    QStringList texts;
    for (const QLineEdit* edit :
         {e_w_ssid, e_w_pass, e_w_ip, e_w_mask, e_w_gw, e_eth_ip, e_eth_mask, e_eth_gw})
        texts << edit->text();
    return texts;
}

void SettingsPanel::setSendEnabled(bool enabled)
{
    b_save->setEnabled(enabled);
}

QString SettingsPanel::adminPassword() const
{
    return edit_admin_pass->text();
}

QString SettingsPanel::wifiMask() const
{
    return e_w_mask->text();
}

QString SettingsPanel::ethernetMask() const
{
    return e_eth_mask->text();
}

QList<QWidget*> SettingsPanel::focusChain() const
{
    return {TabControl1, s_w_ap,          e_w_ssid, cb_w_enc,      e_w_pass, s_w_dhcp,
            e_w_ip,      e_w_mask,        e_w_gw,   s_eth_dhcp,    e_eth_ip, e_eth_mask,
            e_eth_gw,    edit_admin_pass, b_save,   bt_net_refresh};
}

void SettingsPanel::layOutContents()
{
    const int below = height() - kPanel2Height;
    TabControl1->setGeometry(0, 0, width(), below);
    Panel2->setGeometry(0, below, width(), kPanel2Height);
    bt_net_refresh->setGeometry(width() - kRetrieveButtonSize, 0, kRetrieveButtonSize,
                                kRetrieveButtonSize);
}

} // namespace nimbrel
