#pragma once
// The main window: the device list on the left, the settings panel on the right, the title
// band on top. Its methods are the event handlers and the operations on the window; the
// protocol, the records and the checks are plain functions it calls.

#include "devices/device_registry.h"
#include "net/udp_endpoint.h"

#include <QWidget>

#include <string>

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QModelIndex;
class QPushButton;
class QTabWidget;
class QTimer;
class QToolButton;

namespace nimbrel {

class DeviceListModel;
class DeviceListView;
class InfoPopover;
class Switch;

struct WindowOptions {
    EndpointConfig endpoint;       // the program always uses 0.0.0.0, 12340, 255.255.255.255
    int refreshIntervalMs = 10000; // the periodic search
    int sendPauseMs = 200;         // between the messages of a write
};

class TForm1 : public QWidget {
    Q_OBJECT
public:
    using Options = WindowOptions;

    explicit TForm1(DeviceRegistry& servers, Options options = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // True when the first showing could not bind the endpoint (the error was shown).
    bool startupFailed() const { return startupFailed_; }

    // Event handlers, bound to their widgets' events.
    void FormShow();
    void serverUDPRead(const Datagram& datagram);
    void button_refreshClick();
    void bt_net_refreshClick();
    void timer_refreshTimer();
    void Switch1Switch();
    void MultiView1StartShowing();
    void listItemClick(const QModelIndex& item);
    QString grid_infoGetValue(int column, int row) const;
    void b_saveClick();
    void s_w_apClick();
    void e_w_ssidChangeTracking();
    void e_w_passChangeTracking();
    void cb_w_encChange();
    void s_w_dhcpClick();
    void e_w_ipChangeTracking();
    void e_w_maskChangeTracking();
    void e_w_gwChangeTracking();
    void s_eth_dhcpClick();
    void e_eth_ipChangeTracking();
    void e_eth_maskChangeTracking();
    void e_eth_gwChangeTracking();
    void MenuItem1Click();
    void label_topMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift);

    // Operations of the window.
    void readAnnouncement(const std::string& sender, const std::string& text, int interfaceIndex);
    void readNetworkResponse(const std::string& sender, const std::string& text);
    void showSettings();
    void updateList();
    void clearSettings();
    void infoButtonMouseEnter(int row);
    bool validateSettings();

    // The list's selected row, or -1.
    int selectedIndex() const;
    bool verdictBusy() const { return verdict_busy; }
    int infoIndex() const { return info_index; }
    const std::string& writeTarget() const { return write_target; }
    DeviceListModel* listModel() const { return listModel_; }

    // Widgets, under the names the rest of the program uses (also their objectNames).
    QFrame* panel_top;
    QLabel* label_top;
    QFrame* panel_list;
    QFrame* Panel1;
    QPushButton* button_refresh;
    QLabel* Label1;
    Switch* Switch1;
    DeviceListView* list;
    QFrame* panel_config;
    QTabWidget* TabControl1;
    QWidget* TabWifi;
    QWidget* TabEthernet;
    QLabel* l_w_ap;
    Switch* s_w_ap;
    QLabel* l_w_ssid;
    QLineEdit* e_w_ssid;
    QLabel* l_w_enc;
    QComboBox* cb_w_enc;
    QLabel* l_w_pass;
    QLineEdit* e_w_pass;
    QLabel* l_w_dhcp;
    Switch* s_w_dhcp;
    QLabel* l_w_ip;
    QLineEdit* e_w_ip;
    QLabel* l_w_mask;
    QLineEdit* e_w_mask;
    QLabel* l_w_gw;
    QLineEdit* e_w_gw;
    QLabel* l_eth_dhcp;
    Switch* s_eth_dhcp;
    QLabel* l_eth_ip;
    QLineEdit* e_eth_ip;
    QLabel* l_eth_mask;
    QLineEdit* e_eth_mask;
    QLabel* l_eth_gw;
    QLineEdit* e_eth_gw;
    QFrame* Panel2;
    QLineEdit* edit_admin_pass;
    QPushButton* b_save;
    QLabel* Image1;
    QLabel* Label2;
    QToolButton* bt_net_refresh;
    InfoPopover* MultiView1;
    QMenu* PopupMenu1;
    QAction* MenuItem1;
    QTimer* timer_refresh;
    UdpEndpoint* server;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createTitleBand();
    void createDeviceList();
    void createSettingsPanel();
    void createWifiPage();
    void createEthernetPage();
    void createPanel2();
    void createPopover();
    void connectHandlers();
    void setTabOrder();
    void layoutRegions();

    WebServer* selectedRecord();
    // The selected record, when it is also the device the settings panel shows.
    WebServer* shownRecord();
    void writeSelected(std::string WebServer::*field, std::string value);
    void sendWrite(const WebServer& device);
    void handleErrorVerdict();
    void handleSuccessVerdict();

    DeviceRegistry& servers;
    Options options_;
    DeviceListModel* listModel_;
    bool verdict_busy = false;
    int info_index = 0;
    std::string write_target;
    // Address of the device whose settings the panel shows; empty while the panel is blank.
    std::string shownDevice_;
    bool shown_ = false;
    bool startupFailed_ = false;
};

} // namespace nimbrel
