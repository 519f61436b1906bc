// The main window's side of the settings: loading the selected device into the panel, writing
// every edit back into its record, the checks and the write of "Send", and the device's verdict.

#include "app/tform1.h"

#include "app/message_dialog.h"
#include "app/scope_guards.h"
#include "app/settings_panel.h"
#include "app/text_conversion.h"
#include "app/wifi_rollout.h"
#include "config/scramble.h"
#include "config/write_set.h"
#include "devices/panel_state.h"
#include "devices/settings_validation.h"

#include <QThread>

namespace nimbrel {

namespace {

// A write whose first message the platform refused: nothing left the computer.
class FirstMessageNotSent : public NetworkError {
public:
    using NetworkError::NetworkError;
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
    shownDevice_ = selected->ip;
    // The whole state is worked out before loading starts writing into the record through the
    // change events.
    panel_config->load(panel_state(*selected));
}

void TForm1::settingEdited(std::string WebServer::*field, const std::string& value)
{
    writeSelected(field, value);
}

void TForm1::settingSwitched(std::string WebServer::*field, const std::string& value)
{
    if (selectedRecord() == nullptr)
        return;
    writeSelected(field, value);
    showSettings();
}

bool TForm1::validateSettings()
{
    const WebServer* selected = selectedRecord();
    if (selected == nullptr)
        return false;
    const std::optional<std::string> fault = validate_settings(
        *selected, toBytes(panel_config->wifiMask()), toBytes(panel_config->ethernetMask()));
    if (fault)
        MessageDialog(fromBytes(*fault), DialogKind::Warning);
    return !fault;
}

void TForm1::b_saveClick()
{
    // Its button is off meanwhile; no other way in may start a write whose verdict the
    // roll-out would take.
    if (rollout_->isRunning())
        return;
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
    std::vector<std::string> settingTexts;
    for (const QString& text : panel_config->settingTexts())
        settingTexts.push_back(text.toStdString());
    if (const auto fault =
            send_input_fault(panel_config->adminPassword().toStdString(), settingTexts)) {
        MessageDialog(QString::fromStdString(*fault), DialogKind::Warning);
        return;
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
    WriteSettings settings = panel_config->shownSettings();
    settings.target = device.ip;
    const std::string key = toBytes(panel_config->adminPassword());
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
    // verdict_busy is true exactly while a verdict box is open.
    const ScopedFlag boxOpen(verdict_busy);
    MessageDialog(QStringLiteral("Incorrect password"), DialogKind::Warning);
}

void TForm1::handleSuccessVerdict()
{
    {
        const ScopedFlag boxOpen(verdict_busy);
        MessageDialog(QStringLiteral("Parameters saved successfully. Wait until device restarts."),
                      DialogKind::Confirmation);
    }
    // The device restarts, possibly under another address: it is listed again when it answers.
    servers.remove(write_target);
    updateList();
    write_target.clear();
}

} // namespace nimbrel
