#include "app/wifi_rollout.h"

#include "config/scramble.h"
#include "net/protocol.h"
#include "util/text.h"

namespace nimbrel {

WifiRollout::WifiRollout(RolloutTransport transport, RolloutTimings timings, QObject* parent)
    : QObject(parent), transport_(std::move(transport)), timings_(timings)
{
    timer_.setSingleShot(true);
    // A coarse timer may fire up to 5 % early, and the device needs the whole pause to store
    // each file.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &WifiRollout::onTimeout);
}

void WifiRollout::start(std::vector<WebServer> devices, WifiValues values,
                        std::string adminPassword)
{
    if (isRunning())
        return;
    devices_ = std::move(devices);
    results_.assign(devices_.size(), RolloutResult{});
    values_ = std::move(values);
    adminPassword_ = std::move(adminPassword);
    current_ = 0;
    cancelling_ = false;
    if (devices_.empty()) {
        Q_EMIT finished();
        return;
    }
    Q_EMIT started();
    beginDevice();
}

void WifiRollout::cancel()
{
    if (!isRunning())
        return;
    cancelling_ = true;
    // Nothing has gone to this device yet: it is left as it is, like those after it. (Between
    // two devices the next one sees the flag.)
    if (phase_ == Phase::AwaitingSettings)
        finishDevice({RolloutOutcome::Cancelled, {}});
}

int WifiRollout::millisecondsLeft() const
{
    if (!isRunning())
        return 0;
    const int perDevice = static_cast<int>(kWriteMessageCount - 1) * timings_.pauseMs;
    const int after = cancelling_ ? 0 : deviceCount() - current_ - 1;
    int current = 0;
    if (phase_ == Phase::NextDevice || phase_ == Phase::AwaitingSettings)
        current = perDevice;
    else if (phase_ == Phase::Writing)
        current = static_cast<int>(kWriteMessageCount - nextMessage_) * timings_.pauseMs;
    return current + after * perDevice;
}

void WifiRollout::beginDevice()
{
    phase_ = Phase::AwaitingSettings;
    timer_.start(timings_.settingsReplyTimeoutMs);
    Q_EMIT deviceStarted(current_);
    // A receiver may have cancelled, which has already ended this device unasked.
    if (cancelling_)
        return;
    sendGuarded([this] { transport_.requestSettings(currentRecord().ip); });
}

bool WifiRollout::sendGuarded(const std::function<void()>& send)
{
    // A send the platform refuses ends this device, not the roll-out (nor the window's thread).
    try {
        send();
        return true;
    } catch (const std::exception& error) {
        finishDevice({RolloutOutcome::SendFailed, error.what()});
        return false;
    }
}

bool WifiRollout::takeSettingsReply(const std::string& sender, const std::string& text)
{
    if (phase_ != Phase::AwaitingSettings || sender != currentRecord().ip)
        return false;
    WebServer replied = currentRecord();
    // A reply of the wrong shape is no reply: keep waiting, the timeout ends the wait.
    if (!parse_network_response(replied, text))
        return false;
    timer_.stop();
    const WebServer composed = rollout_record(replied, values_);
    if (auto fault = rollout_record_fault(composed, adminPassword_)) {
        finishDevice({RolloutOutcome::CheckFailed, *fault});
        return true;
    }
    messages_.clear();
    for (const std::string& message : build_write_messages(shown_write_settings(composed)))
        messages_.push_back(scramble_text(message, adminPassword_));
    nextMessage_ = 0;
    phase_ = Phase::Writing;
    writeNextMessage();
    return true;
}

void WifiRollout::writeNextMessage()
{
    const std::string& message = messages_[nextMessage_];
    if (!sendGuarded([&] { transport_.broadcastVia(message, currentRecord().interface_index); }))
        return;
    ++nextMessage_;
    if (nextMessage_ < messages_.size()) {
        timer_.start(timings_.pauseMs);
        return;
    }
    phase_ = Phase::AwaitingVerdict;
    timer_.start(timings_.verdictTimeoutMs);
}

bool WifiRollout::takeVerdict(const std::string& sender, const std::string& text)
{
    // Only once the whole set is out: the device answers its update marker, nothing before.
    if (phase_ != Phase::AwaitingVerdict || sender != currentRecord().ip)
        return false;
    // "Error" wins over "Success" in one text, as it does for "Send".
    if (contains(text, kErrorVerdict)) {
        finishDevice({RolloutOutcome::WrongPassword, {}});
        return true;
    }
    if (contains(text, kSuccessVerdict)) {
        // The list drops the device before the next one is asked for its settings.
        Q_EMIT deviceSaved(currentRecord().ip);
        finishDevice({RolloutOutcome::Saved, {}});
        return true;
    }
    return false;
}

void WifiRollout::onTimeout()
{
    switch (phase_) {
    case Phase::AwaitingSettings:
        finishDevice({RolloutOutcome::NoSettingsReply, {}});
        break;
    case Phase::Writing:
        writeNextMessage();
        break;
    case Phase::AwaitingVerdict:
        finishDevice({RolloutOutcome::NoVerdict, {}});
        break;
    case Phase::NextDevice:
    case Phase::Idle:
        break;
    }
}

void WifiRollout::finishDevice(RolloutResult result)
{
    timer_.stop();
    const int index = current_;
    results_[static_cast<std::size_t>(index)] = std::move(result);
    ++current_;
    const bool more = !cancelling_ && current_ < deviceCount();
    // The device's own result goes out first, then the next device begins.
    phase_ = more ? Phase::NextDevice : Phase::Idle;
    Q_EMIT deviceFinished(index, results_[static_cast<std::size_t>(index)]);
    if (phase_ == Phase::Idle) {
        Q_EMIT finished();
        return;
    }
    // From the event loop, not from here: when every send fails (the network is gone), the
    // devices must not each nest one call deeper.
    QTimer::singleShot(0, this, &WifiRollout::beginNextDevice);
}

void WifiRollout::beginNextDevice()
{
    if (cancelling_) {
        phase_ = Phase::Idle;
        Q_EMIT finished();
        return;
    }
    beginDevice();
}

} // namespace nimbrel
