#pragma once
// The rules of a Wi-Fi roll-out: many devices put on one Wi-Fi network in one go, each keeping
// its own addressing. Plain functions over records; the timing lives with the window.

#include "config/write_set.h"
#include "devices/web_server.h"

#include <optional>
#include <string>
#include <vector>

namespace nimbrel {

// The values a roll-out gives every device; all else stays the device's own.
struct WifiValues {
    std::string ssid;
    int encryption = 2; // 0 open, 1 WEP, 2 WPA, as the panel's choice
    std::string password;
};

// A device with older firmware announces no settings, so it cannot be read or rolled out to.
bool is_rollout_readable(const WebServer& record);
// A device now serving its own access point: rolling out turns that access point off.
bool is_access_point(const WebServer& record);

// The checks made once, before anything is sent: what was typed (the admin password's length
// and printable ASCII throughout, as "Send" checks them), then the network name and the
// password rules of the chosen encryption. Texts are UTF-8 as typed. The first fault, or none.
std::optional<std::string> rollout_input_fault(const WifiValues& values,
                                               const std::string& admin_password);

// The device's settings as it gave them in its settings reply, with the new Wi-Fi values: access
// point off, so it joins the network. An access point's own addresses are those of the subnet
// it served, never a client address, so it takes its address by DHCP; any other device keeps
// its DHCP choice and addresses. A Wi-Fi-only model carries no Ethernet addresses, as the
// settings panel empties them.
WebServer rollout_record(const WebServer& replied, const WifiValues& values);

// The checks "Send" makes, applied to a composed record: the typed texts (printable ASCII), then
// the settings check with the masks the panel would show. The first fault, or none.
std::optional<std::string> rollout_record_fault(const WebServer& record,
                                                const std::string& admin_password);

// What the settings panel would show, and "Send" would write, for the record.
WriteSettings shown_write_settings(const WebServer& record);

// The static Wi-Fi addresses that two or more of the records would keep, each once, in the order
// first met: they would clash on the customer's network once all have joined it.
std::vector<std::string> shared_static_wifi_addresses(const std::vector<const WebServer*>& records);

// How one device's roll-out ended.
enum class RolloutOutcome {
    Saved,           // "Success" from the device: it restarts
    WrongPassword,   // "Error" from the device
    NoVerdict,       // six messages sent, no verdict in time
    NoSettingsReply, // no settings reply in time: nothing written
    CheckFailed,     // the composed settings failed a check: nothing written
    Cancelled,       // the roll-out was cancelled before this device: nothing written
    SendFailed,      // the platform refused a send; the message says why
};

struct RolloutResult {
    RolloutOutcome outcome = RolloutOutcome::Cancelled;
    std::string message; // the check's own message (CheckFailed), the platform's (SendFailed)
};

// The text the results table shows.
std::string rollout_result_text(const RolloutResult& result);

struct RolloutSummary {
    int saved = 0;
    int refused = 0;   // a wrong password or a failed check
    int no_answer = 0; // no settings reply, no verdict, or the sending failed
    int cancelled = 0;
};

RolloutSummary summarize(const std::vector<RolloutResult>& results);
// "12 saved, 2 refused, 1 no answer", with ", 3 not written (cancelled)" when some were.
std::string summary_text(const RolloutSummary& summary);

// One finished device for the results file: who it is and how it ended. No passwords.
struct RolloutRow {
    std::string ip;
    std::string model;
    std::string identifier;
    RolloutResult result;
};

// The results as tab-separated lines (for the clipboard) and as a UTF-8 CSV file with a header.
std::string rollout_results_text(const std::vector<RolloutRow>& rows);
std::string rollout_results_csv(const std::vector<RolloutRow>& rows);

} // namespace nimbrel
