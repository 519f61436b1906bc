// Construction of the main window: every widget with its name, text, place, size and initial
// state. Places are fixed; on resize only the device list grows.

#include "app/device_list_model.h"
#include "app/device_list_view.h"
#include "app/info_popover.h"
#include "app/switch_widget.h"
#include "app/tform1.h"

#include <QAction>
#include <QComboBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTabBar>
#include <QTableView>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <utility>

namespace nimbrel {

namespace {

constexpr int kClientWidth = 989;
constexpr int kClientHeight = 607;
constexpr int kTitleHeight = 49;
constexpr int kConfigWidth = 370;
constexpr int kPanel1Height = 51;
constexpr int kPanel2Height = 115;
constexpr int kLabel1RightGap = 619 - 317; // Label1 and Switch1 keep their distance to the edge
constexpr int kSwitch1RightGap = 619 - 549;

template <typename W> W* make(QWidget* parent, const char* name, QRect geometry = {})
{
    auto* widget = new W(parent);
    widget->setObjectName(QString::fromLatin1(name));
    if (geometry.isValid())
        widget->setGeometry(geometry);
    return widget;
}

QLabel* makeLabel(QWidget* parent, const char* name, QRect geometry, const char* text,
                  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto* label = make<QLabel>(parent, name, geometry);
    label->setText(QString::fromLatin1(text));
    label->setAlignment(alignment);
    return label;
}

QLineEdit* makeEdit(QWidget* parent, const char* name, QRect geometry, const char* accessibleName)
{
    auto* edit = make<QLineEdit>(parent, name, geometry);
    edit->setAccessibleName(QString::fromLatin1(accessibleName));
    return edit;
}

Switch* makeSwitch(QWidget* parent, const char* name, QRect geometry, const char* accessibleName)
{
    auto* toggle = make<Switch>(parent, name, geometry);
    toggle->setChecked(true);
    toggle->setAccessibleName(QString::fromLatin1(accessibleName));
    return toggle;
}

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

struct ControlText {
    QWidget* control;
    const char* name; // nullptr: the control's visible text names it
    const char* description;
};

// What assistive technology reads: a name and a description for every control, and each label
// tied to the control it names.
void describeControls(TForm1& f)
{
    const ControlText texts[] = {
        {f.button_refresh, nullptr, "Searches the network for devices now"},
        {f.Switch1, nullptr, "While on, the network is searched again every 10 seconds"},
        {f.list, nullptr,
         "Devices that answered the search. Select one to edit its settings; the button at the "
         "right end of a row shows its model, identifier, firmware, build and user"},
        {f.TabControl1, "Network settings", "Network settings of the selected device"},
        {f.TabWifi, "Wi-Fi", "Wi-Fi settings of the selected device"},
        {f.TabEthernet, "Ethernet", "Ethernet settings of the selected device"},
        {f.s_w_ap, nullptr, "On: the device offers its own Wi-Fi network; off: it joins one"},
        {f.e_w_ssid, nullptr, "Name of the Wi-Fi network"},
        {f.cb_w_enc, nullptr, "Encryption of the Wi-Fi network: OPEN, WEP or WPA"},
        {f.e_w_pass, nullptr, "Password of the Wi-Fi network"},
        {f.s_w_dhcp, nullptr, "On: the device's Wi-Fi address comes from a DHCP server"},
        {f.e_w_ip, nullptr, "Wi-Fi IPv4 address of the device, such as 192.168.1.20"},
        {f.e_w_mask, nullptr, "Wi-Fi subnet mask, such as 255.255.255.0"},
        {f.e_w_gw, nullptr, "Wi-Fi gateway address"},
        {f.s_eth_dhcp, nullptr, "On: the device's Ethernet address comes from a DHCP server"},
        {f.e_eth_ip, nullptr, "Ethernet IPv4 address of the device, such as 192.168.1.21"},
        {f.e_eth_mask, nullptr, "Ethernet subnet mask, such as 255.255.255.0"},
        {f.e_eth_gw, nullptr, "Ethernet gateway address"},
        {f.edit_admin_pass, nullptr, "Administrator password of the selected device"},
        {f.b_save, nullptr, "Sends the settings to the selected device, which then restarts"},
        {f.bt_net_refresh, nullptr, "Reads the network settings of the selected device again"},
        {f.Image1, "Note", "Information symbol"},
        {f.Label2, nullptr, "The admin password is needed to send settings"},
        {f.MultiView1, "Device information", "Details of the device whose button was pressed"},
        {f.MultiView1->grid_info, nullptr, "Model, identifier, firmware, build and user"},
    };
    for (const auto& [control, name, description] : texts) {
        if (name)
            control->setAccessibleName(QString::fromLatin1(name));
        control->setAccessibleDescription(QString::fromLatin1(description));
    }
    const std::pair<QLabel*, QWidget*> buddies[] = {
        {f.Label1, f.Switch1},        {f.l_w_ap, f.s_w_ap},     {f.l_w_ssid, f.e_w_ssid},
        {f.l_w_enc, f.cb_w_enc},      {f.l_w_pass, f.e_w_pass}, {f.l_w_dhcp, f.s_w_dhcp},
        {f.l_w_ip, f.e_w_ip},         {f.l_w_mask, f.e_w_mask}, {f.l_w_gw, f.e_w_gw},
        {f.l_eth_dhcp, f.s_eth_dhcp}, {f.l_eth_ip, f.e_eth_ip}, {f.l_eth_mask, f.e_eth_mask},
        {f.l_eth_gw, f.e_eth_gw}};
    for (const auto& [label, control] : buddies)
        label->setBuddy(control);
}

} // namespace

TForm1::TForm1(DeviceRegistry& registry, Options options, QWidget* parent)
    : QWidget(parent), servers(registry), options_(std::move(options))
{
    setObjectName(QStringLiteral("Form1"));
    resize(kClientWidth, kClientHeight);
    listModel_ = new DeviceListModel(servers, this);

    createTitleBand();
    createDeviceList();
    createSettingsPanel();
    createPopover();
    describeControls(*this);

    timer_refresh = new QTimer(this);
    timer_refresh->setObjectName(QStringLiteral("timer_refresh"));
    timer_refresh->setInterval(options_.refreshIntervalMs);

    server = new UdpEndpoint(options_.endpoint, this);
    server->setObjectName(QStringLiteral("server"));

    connectHandlers();
    setTabOrder();
    layoutRegions();

    setWindowTitle(QStringLiteral("Talvonex Nimbrel (v2.1)"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/nimbrel.svg")));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    timer_refresh->start();
}

void TForm1::createTitleBand()
{
    panel_top = make<QFrame>(this, "panel_top");
    panel_top->setStyleSheet(QStringLiteral(
        "QFrame#panel_top { background-color: #003377; border: 1px solid #CCCCCC; }"));
    label_top = makeLabel(panel_top, "label_top", {}, "Web Server Network Search", Qt::AlignCenter);
    label_top->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    label_top->installEventFilter(this);
}

void TForm1::createDeviceList()
{
    panel_list = make<QFrame>(this, "panel_list");
    Panel1 = make<QFrame>(panel_list, "Panel1");
    button_refresh = make<QPushButton>(Panel1, "button_refresh", {8, 11, 204, 28});
    button_refresh->setText(QStringLiteral("Inmediate search"));
    Label1 = makeLabel(Panel1, "Label1", {317, 11, 224, 28}, "Refresh every 10 seconds",
                       Qt::AlignRight | Qt::AlignVCenter);
    Switch1 = makeSwitch(Panel1, "Switch1", {549, 11, 57, 28}, "Refresh every 10 seconds");

    list = make<DeviceListView>(panel_list, "list");
    list->setModel(listModel_);
    list->setAccessibleName(QStringLiteral("Devices found"));
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    MenuItem1 = PopupMenu1->addAction(QStringLiteral("Clear list"));
    MenuItem1->setObjectName(QStringLiteral("MenuItem1"));
}

void TForm1::createSettingsPanel()
{
    panel_config = make<QFrame>(this, "panel_config");
    TabControl1 = new SettingsTabWidget(panel_config);
    TabControl1->setObjectName(QStringLiteral("TabControl1"));
    TabWifi = make<QWidget>(nullptr, "TabWifi");
    TabEthernet = make<QWidget>(nullptr, "TabEthernet");
    TabControl1->addTab(TabWifi, QStringLiteral("Wifi"));
    TabControl1->addTab(TabEthernet, QStringLiteral("Ethernet"));
    createWifiPage();
    createEthernetPage();
    createPanel2();

    bt_net_refresh = make<QToolButton>(panel_config, "bt_net_refresh");
    bt_net_refresh->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    bt_net_refresh->setIconSize({24, 24});
    bt_net_refresh->setToolTip(QStringLiteral("Retrieve network information"));
    bt_net_refresh->setAccessibleName(QStringLiteral("Retrieve network information"));
    bt_net_refresh->raise();
}

void TForm1::createWifiPage()
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

void TForm1::createEthernetPage()
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

void TForm1::createPanel2()
{
    Panel2 = make<QFrame>(panel_config, "Panel2");
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

void TForm1::createPopover()
{
    MultiView1 = new InfoPopover(
        [this](int column, int row) { return grid_infoGetValue(column, row); }, this);
}

void TForm1::setTabOrder()
{
    // The keyboard walks the list first, then the settings from top to bottom.
    const QList<QWidget*> chain = {button_refresh,  Switch1,  list,          TabControl1,
                                   s_w_ap,          e_w_ssid, cb_w_enc,      e_w_pass,
                                   s_w_dhcp,        e_w_ip,   e_w_mask,      e_w_gw,
                                   s_eth_dhcp,      e_eth_ip, e_eth_mask,    e_eth_gw,
                                   edit_admin_pass, b_save,   bt_net_refresh};
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutRegions();
}

void TForm1::layoutRegions()
{
    const int w = width();
    const int below = height() - kTitleHeight;
    panel_top->setGeometry(0, 0, w, kTitleHeight);
    label_top->setGeometry(0, 0, w, kTitleHeight);

    const int listWidth = std::max(0, w - kConfigWidth);
    panel_list->setGeometry(0, kTitleHeight, listWidth, below);
    Panel1->setGeometry(0, 0, listWidth, kPanel1Height);
    Label1->move(listWidth - kLabel1RightGap, Label1->y());
    Switch1->move(listWidth - kSwitch1RightGap, Switch1->y());
    list->setGeometry(0, kPanel1Height, listWidth, below - kPanel1Height);

    panel_config->setGeometry(listWidth, kTitleHeight, kConfigWidth, below);
    TabControl1->setGeometry(0, 0, kConfigWidth, below - kPanel2Height);
    Panel2->setGeometry(0, below - kPanel2Height, kConfigWidth, kPanel2Height);
    bt_net_refresh->setGeometry(kConfigWidth - 50, 0, 50, 50);
}

} // namespace nimbrel
