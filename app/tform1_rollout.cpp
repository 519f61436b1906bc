// The main window's side of a Wi-Fi roll-out: the menu entry that opens its dialog, the
// endpoint it writes through, and what the window does while it runs. Received settings replies
// and verdicts reach the roll-out from serverUDPRead.

#include "app/guarded.h"
#include "app/rollout_dialog.h"
#include "app/settings_panel.h"
#include "app/tform1.h"
#include "app/wifi_rollout.h"

namespace nimbrel {

void TForm1::createRollout()
{
    const RolloutTransport transport{
        [this](const std::string& ip) { server->send(kSettingsRequest, ip, server->port()); },
        // Through the interface the device was found on, as "Send" writes.
        [this](const std::string& bytes, int interfaceIndex) {
            server->broadcastVia(bytes, interfaceIndex);
        },
    };
    rollout_ = new WifiRollout(
        transport,
        {options_.rolloutReplyTimeoutMs, options_.sendPauseMs, options_.rolloutVerdictTimeoutMs},
        this);
    connect(rollout_, &WifiRollout::started, this,
            [this] { runGuarded([&] { rolloutStarted(); }); });
    connect(rollout_, &WifiRollout::deviceSaved, this,
            [this](const std::string& ip) { runGuarded([&] { rolloutDeviceSaved(ip); }); });
    connect(rollout_, &WifiRollout::finished, this,
            [this] { runGuarded([&] { rolloutFinished(); }); });
}

void TForm1::configureWifiOnSeveral()
{
    if (rolloutDialog_.isNull()) {
        rolloutDialog_ = new WifiRolloutDialog(servers, *rollout_, this);
        rolloutDialog_->setAttribute(Qt::WA_DeleteOnClose);
    }
    rolloutDialog_->show();
    rolloutDialog_->raise();
    rolloutDialog_->activateWindow();
}

void TForm1::rolloutStarted()
{
    // The roll-out owns every verdict until it ends: a single write still awaiting one is
    // superseded, as a new "Send" supersedes it, and no new one can start.
    write_target.clear();
    panel_config->setSendEnabled(false);
}

void TForm1::rolloutFinished()
{
    panel_config->setSendEnabled(true);
}

void TForm1::rolloutDeviceSaved(const std::string& ip)
{
    // As after "Send": the device restarts and is listed again when it answers a search.
    servers.remove(ip);
    updateList();
}

} // namespace nimbrel
