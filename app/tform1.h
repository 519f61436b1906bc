#pragma once
// The main window: the device list on the left, the settings panel on the right, the title
// band on top. Its methods are the event handlers and the operations on the window; the
// protocol, the records and the checks are plain functions it calls.

#include "devices/device_registry.h"
#include "net/udp_endpoint.h"

#include <QPointer>
#include <QWidget>

#include <string>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QTimer;

namespace nimbrel {

class DeviceListModel;
class DeviceListPanel;
class InfoPopover;
class SettingsPanel;
class WifiRollout;
class WifiRolloutDialog;

struct WindowOptions {
    EndpointConfig endpoint;            // the program always uses 0.0.0.0, 12340, 255.255.255.255
    int refreshIntervalMs = 10000;      // the periodic search
    int sendPauseMs = 200;              // between the messages of a write
    int noAnswerHintMs = 3000;          // a search unanswered this long explains the empty list
    int rolloutReplyTimeoutMs = 3000;   // a roll-out waits this long for a device's settings
    int rolloutVerdictTimeoutMs = 5000; // and this long for its verdict
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
    void Switch1Switch(bool on);
    void MultiView1StartShowing();
    // A row chosen in the list, by its registry position.
    void listItemClick(int position);
    QString grid_infoGetValue(int column, int row) const;
    void b_saveClick();
    // Every edit and the encryption choice of the settings panel: the value goes into the
    // device the panel shows.
    void settingEdited(std::string WebServer::*field, const std::string& value);
    // The settings panel's three switches: the value goes into that device, which is then
    // loaded again, since a switch changes what the rest of the panel shows.
    void settingSwitched(std::string WebServer::*field, const std::string& value);
    void MenuItem1Click();
    void label_topMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift);
    // Additions of the list's menu, each for a registry position (-1: nothing).
    void copyAddress(int position);
    void copyDeviceDetails(int position);
    void exportList();
    void timer_no_answerTimer();
    // "Configure Wi-Fi on several devices...": opens the roll-out dialog on the devices listed
    // now, or brings back the one already open.
    void configureWifiOnSeveral();

    // Operations of the window.
    void readAnnouncement(const std::string& sender, const std::string& text, int interfaceIndex);
    void readNetworkResponse(const std::string& sender, const std::string& text);
    void showSettings();
    void updateList();
    void clearSettings();
    void infoButtonMouseEnter(int row);
    bool validateSettings();

    // The registry position of the list's selected row, or -1.
    int selectedIndex() const;
    bool verdictBusy() const { return verdict_busy; }
    int infoIndex() const { return info_index; }
    const std::string& writeTarget() const { return write_target; }
    const WifiRollout& rollout() const { return *rollout_; }
    DeviceListModel* listModel() const;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createTitleBand();
    void createListMenu();
    void createPopover();
    void connectHandlers();
    void connectListPanel();
    void connectListMenu();
    void setTabOrder();
    void layoutRegions();
    void showListMenu(int position, const QPoint& globalAt);

    WebServer* selectedRecord();
    // The selected record, when it is also the device the settings panel shows.
    WebServer* shownRecord();
    void writeSelected(std::string WebServer::*field, std::string value);
    void sendWrite(const WebServer& device);
    void handleErrorVerdict();
    void handleSuccessVerdict();
    void createRollout();
    void rolloutStarted();
    void rolloutFinished();
    void rolloutDeviceSaved(const std::string& ip);

    // Widgets, under their laid-out names (also their objectNames).
    QFrame* panel_top;
    QLabel* label_top;
    DeviceListPanel* panel_list;
    SettingsPanel* panel_config;
    InfoPopover* MultiView1;
    QMenu* PopupMenu1;
    QAction* MenuItem1;
    QAction* MenuItem2; // "Copy address"
    QAction* MenuItem3; // "Copy device details"
    QAction* MenuItem4; // "Export list..."
    QAction* MenuItem5; // "Configure Wi-Fi on several devices..."
    QTimer* timer_no_answer;
    QTimer* timer_refresh;
    UdpEndpoint* server;
    WifiRollout* rollout_;
    QPointer<WifiRolloutDialog> rolloutDialog_; // while open

    DeviceRegistry& servers;
    Options options_;
    // The registry position of the row the list's menu was opened on, -1 for none.
    int menuRow_ = -1;
    bool verdict_busy = false;
    int info_index = 0;
    std::string write_target;
    // Address of the device whose settings the panel shows; empty while the panel is blank.
    std::string shownDevice_;
    bool shown_ = false;
    bool startupFailed_ = false;
};

} // namespace nimbrel
