#pragma once
// "Configure Wi-Fi on several devices...": the devices listed when it opened, each with a check
// box; the network name, encryption and password every checked device is to join; the admin
// password; Start, and while it runs the progress, a result per device and Cancel. Once done,
// a summary and the results to copy or export. The roll-out itself belongs to the window, which
// hands it the datagrams; this dialog only starts it and shows what it does.

#include "devices/wifi_rollout.h"

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTimer;

namespace nimbrel {

class DeviceRegistry;
class WifiRollout;

class WifiRolloutDialog : public QDialog {
    Q_OBJECT
public:
    WifiRolloutDialog(const DeviceRegistry& servers, WifiRollout& rollout,
                      QWidget* parent = nullptr);

    // The devices that Start would write now: checked and not hidden by the filter, in list order.
    std::vector<WebServer> chosenDevices() const;

public Q_SLOTS:
    // Escape and the window's close button: while a roll-out runs they cancel it instead, and
    // the dialog stays to show how it ends.
    void reject() override;

private:
    enum Column { DeviceColumn, NoteColumn, ResultColumn };

    void createWidgets();
    void layOut();
    void fillDevices(const DeviceRegistry& servers);
    void connectSignals();
    void filterDevices(const QString& needle);
    void updateWarning();
    void startClicked();
    void cancelClicked();
    void setRunning(bool running);
    void deviceStarted(int index);
    void deviceFinished(int index, const RolloutResult& result);
    void rolloutFinished();
    void showProgress();
    std::vector<int> chosenRows() const;
    std::vector<RolloutRow> resultRows() const;
    void copyResults();
    void exportResults();
    WifiValues typedValues() const;

    WifiRollout& rollout_;
    // The devices as listed when the dialog opened, one per tree row, in the same order.
    std::vector<WebServer> devices_;
    // For each device of the running roll-out, its row in the tree.
    std::vector<int> rolloutRows_;
    bool done_ = false;

    QLineEdit* e_rollout_filter;
    QTreeWidget* tv_rollout_devices;
    QLabel* l_rollout_warning;
    QLineEdit* e_rollout_ssid;
    QComboBox* cb_rollout_enc;
    QLineEdit* e_rollout_pass;
    QLineEdit* e_rollout_admin_pass;
    QProgressBar* pb_rollout;
    QLabel* l_rollout_progress;
    QLabel* l_rollout_summary;
    QPushButton* b_rollout_start;
    QPushButton* b_rollout_cancel;
    QPushButton* b_rollout_copy;
    QPushButton* b_rollout_export;
    QPushButton* b_rollout_close;
    QTimer* progressTick_;
};

} // namespace nimbrel
