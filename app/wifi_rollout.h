#pragma once
// Runs a Wi-Fi roll-out: the chosen devices one at a time, in list order. For each it asks for
// the current settings, composes them with the new Wi-Fi values, checks them as "Send" does,
// writes the six messages paced like "Send" and waits for the device's verdict. Everything runs
// on timers of the owner's thread, so the window keeps working throughout; the window hands in
// the settings replies and verdicts it receives, and the roll-out takes only those of the device
// it is working on, once.

#include "devices/wifi_rollout.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

namespace nimbrel {

struct RolloutTimings {
    int settingsReplyTimeoutMs = 3000;
    int pauseMs = 200; // between the six messages, as "Send" paces them
    int verdictTimeoutMs = 5000;
};

// How the roll-out reaches the devices; the window gives it its endpoint.
struct RolloutTransport {
    std::function<void(const std::string& ip)> requestSettings;
    std::function<void(const std::string& bytes, int interfaceIndex)> broadcastVia;
};

class WifiRollout : public QObject {
    Q_OBJECT
public:
    // NextDevice: one device is done and the next is about to be asked; nothing is awaited.
    enum class Phase { Idle, NextDevice, AwaitingSettings, Writing, AwaitingVerdict };

    WifiRollout(RolloutTransport transport, RolloutTimings timings, QObject* parent = nullptr);

    // Starts on copies of the devices as they are now: what the list does meanwhile (a device
    // removed, a restarted one listed again) changes nothing about whom this roll-out writes.
    void start(std::vector<WebServer> devices, WifiValues values, std::string adminPassword);
    // Finishes the device being written (its messages and its verdict) and writes no other;
    // a device still being asked for its settings is left unwritten at once.
    void cancel();

    bool isRunning() const { return phase_ != Phase::Idle; }
    Phase phase() const { return phase_; }
    int deviceCount() const { return static_cast<int>(devices_.size()); }
    // The device being worked on, or -1.
    int currentDevice() const { return isRunning() ? current_ : -1; }
    const WebServer& device(int index) const
    {
        return devices_.at(static_cast<std::size_t>(index));
    }
    const std::vector<RolloutResult>& results() const { return results_; }
    // A guess at the time still needed, from the pacing and the devices left.
    int millisecondsLeft() const;

    // A settings reply the window received; true when it was the one awaited.
    bool takeSettingsReply(const std::string& sender, const std::string& text);
    // A datagram that is neither an announcement nor a settings reply; true when it was the
    // verdict awaited from the device just written.
    bool takeVerdict(const std::string& sender, const std::string& text);

Q_SIGNALS:
    void started();
    void deviceStarted(int index);
    void deviceFinished(int index, const nimbrel::RolloutResult& result);
    // "Success" from a device: it restarts, so the list drops it until it announces itself again.
    void deviceSaved(const std::string& ip);
    void finished();

private:
    void beginDevice();
    void beginNextDevice();
    // Runs a send; on failure the device ends with the platform's text. False when it failed.
    bool sendGuarded(const std::function<void()>& send);
    void writeNextMessage();
    void finishDevice(RolloutResult result);
    void onTimeout();
    const WebServer& currentRecord() const { return devices_[static_cast<std::size_t>(current_)]; }

    RolloutTransport transport_;
    RolloutTimings timings_;
    QTimer timer_;
    Phase phase_ = Phase::Idle;
    std::vector<WebServer> devices_;
    std::vector<RolloutResult> results_;
    WifiValues values_;
    std::string adminPassword_;
    int current_ = 0;
    bool cancelling_ = false;
    std::vector<std::string> messages_; // the current device's six, scrambled
    std::size_t nextMessage_ = 0;
};

} // namespace nimbrel
