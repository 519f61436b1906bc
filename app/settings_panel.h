#pragma once
// The settings panel on the right of the main window: the "Wifi" and "Ethernet" tabs, the
// retrieve button over the tab strip and, at the bottom, the admin password with "Send". It shows
// one device's settings at a time and reports every change; it keeps no device of its own.

#include "config/write_set.h"
#include "devices/panel_state.h"

#include <QFrame>

#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QToolButton;

namespace nimbrel {

class Switch;

class SettingsPanel : public QFrame {
    Q_OBJECT
public:
    // A settings field of the device record.
    using Field = std::string WebServer::*;

    explicit SettingsPanel(QWidget* parent = nullptr);

    // Loads the values, then forces what the rules force, then sets what is enabled, visible
    // and captioned. Every edit and the encryption choice report what they are given.
    void load(const PanelState& state);
    // Blank values, for when no device is selected; what is enabled, visible or captioned and
    // the tab shown stay as the last load left them.
    void blank();
    // The expert unlock: the Ethernet tab for any model and, on an access point, the subnet
    // switch. It lasts until the next load.
    void unlockExpertControls();

    // The settings as shown, for the six messages of a write; the target is left empty.
    WriteSettings shownSettings() const;
    // The texts of the eight setting edits as typed, for the checks of what a device can take.
    QStringList settingTexts() const;
    QString adminPassword() const;
    QString wifiMask() const;
    QString ethernetMask() const;
    // "Send" is off while another write (a roll-out) owns the devices' verdicts.
    void setSendEnabled(bool enabled);

    // Places the tabs, the bottom panel and the retrieve button for the panel's size. Whoever
    // sizes the panel calls it: a hidden widget gets its resize event only once it is shown.
    void layOutContents();

    // The panel's controls in keyboard order.
    QList<QWidget*> focusChain() const;

Q_SIGNALS:
    // An edit's text or the encryption choice changed, by the user or by load() or blank().
    void fieldEdited(nimbrel::SettingsPanel::Field field, const std::string& value);
    // The user clicked a switch; value is "yes" or "no".
    void switchClicked(nimbrel::SettingsPanel::Field field, const std::string& value);
    void retrieveClicked();
    void sendClicked();

private:
    void createWifiPage();
    void createEthernetPage();
    void createPanel2();
    void describeControls();
    void connectFields();

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
};

} // namespace nimbrel
