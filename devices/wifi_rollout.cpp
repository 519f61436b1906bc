#include "devices/wifi_rollout.h"

#include "devices/panel_state.h"
#include "devices/settings_validation.h"
#include "util/csv.h"
#include "util/text.h"

#include <algorithm>
#include <map>

namespace nimbrel {

bool is_rollout_readable(const WebServer& record)
{
    return !record.model.empty();
}

bool is_access_point(const WebServer& record)
{
    return contains(record.w_ap, "yes");
}

std::optional<std::string> rollout_input_fault(const WifiValues& values,
                                               const std::string& admin_password)
{
    if (auto fault = send_input_fault(admin_password, {values.ssid, values.password}))
        return fault;
    // A Wi-Fi client by DHCP with no Ethernet: the settings check then tests exactly the
    // password of the encryption and the network name, the rules every device shares.
    // Whole strings moved in: GCC 12 at -O3 (the Windows build) takes a literal assigned into a
    // fresh record's string for a read of uninitialised bytes.
    WebServer probe;
    probe.w_ap = std::string("no");
    probe.w_dhcp = std::string("yes");
    probe.w_ssid = values.ssid;
    probe.w_enc = encryption_word(values.encryption);
    probe.w_pass = values.password;
    return validate_settings(probe, {}, {});
}

WebServer rollout_record(const WebServer& replied, const WifiValues& values)
{
    WebServer record = replied;
    if (is_access_point(replied))
        record.w_dhcp = "yes";
    record.w_ap = "no";
    record.w_ssid = values.ssid;
    record.w_enc = encryption_word(values.encryption);
    record.w_pass = values.password;
    if (!is_quorix(record)) {
        record.eth_ip.clear();
        record.eth_mask.clear();
        record.eth_gw.clear();
    }
    return record;
}

WriteSettings shown_write_settings(const WebServer& record)
{
    const PanelState shown = panel_state(record);
    const AddressTexts wifi = shown.forced_wifi.value_or(shown.wifi);
    const AddressTexts ethernet = shown.wifi_only ? AddressTexts{} : shown.ethernet;
    return {
        .target = record.ip,
        .access_point = shown.access_point,
        .ssid = shown.ssid,
        .password = shown.password,
        .encryption_index = shown.forced_encryption.value_or(shown.encryption),
        .wifi_dhcp = shown.wifi_dhcp,
        .wifi_ip = wifi.ip,
        .wifi_mask = wifi.mask,
        .wifi_gateway = wifi.gateway,
        .ethernet_dhcp = shown.ethernet_dhcp && !shown.wifi_only,
        .ethernet_ip = ethernet.ip,
        .ethernet_mask = ethernet.mask,
        .ethernet_gateway = ethernet.gateway,
    };
}

std::optional<std::string> rollout_record_fault(const WebServer& record,
                                                const std::string& admin_password)
{
    const WriteSettings shown = shown_write_settings(record);
    if (auto fault = send_input_fault(admin_password,
                                      {shown.ssid, shown.password, shown.wifi_ip, shown.wifi_mask,
                                       shown.wifi_gateway, shown.ethernet_ip, shown.ethernet_mask,
                                       shown.ethernet_gateway}))
        return fault;
    return validate_settings(record, shown.wifi_mask, shown.ethernet_mask);
}

std::vector<std::string> shared_static_wifi_addresses(const std::vector<const WebServer*>& records)
{
    std::map<std::string, int> uses;
    std::vector<std::string> in_order;
    for (const WebServer* record : records) {
        const bool keeps_static =
            !is_access_point(*record) && !contains(record->w_dhcp, "yes") && !record->w_ip.empty();
        if (keeps_static && ++uses[record->w_ip] == 2)
            in_order.push_back(record->w_ip);
    }
    return in_order;
}

std::string rollout_result_text(const RolloutResult& result)
{
    switch (result.outcome) {
    case RolloutOutcome::Saved:
        return "Saved, restarting";
    case RolloutOutcome::WrongPassword:
        return "Incorrect password";
    case RolloutOutcome::NoVerdict:
        return "No verdict";
    case RolloutOutcome::NoSettingsReply:
        return "No answer to the settings request";
    case RolloutOutcome::CheckFailed:
        return result.message;
    case RolloutOutcome::SendFailed:
        return "Not sent: " + result.message;
    case RolloutOutcome::Cancelled:
        return "Not written (cancelled)";
    }
    return {};
}

RolloutSummary summarize(const std::vector<RolloutResult>& results)
{
    RolloutSummary summary;
    for (const RolloutResult& result : results) {
        switch (result.outcome) {
        case RolloutOutcome::Saved:
            ++summary.saved;
            break;
        case RolloutOutcome::WrongPassword:
        case RolloutOutcome::CheckFailed:
            ++summary.refused;
            break;
        case RolloutOutcome::NoVerdict:
        case RolloutOutcome::NoSettingsReply:
        case RolloutOutcome::SendFailed:
            ++summary.no_answer;
            break;
        case RolloutOutcome::Cancelled:
            ++summary.cancelled;
            break;
        }
    }
    return summary;
}

std::string summary_text(const RolloutSummary& summary)
{
    std::string text = std::to_string(summary.saved) + " saved, " +
                       std::to_string(summary.refused) + " refused, " +
                       std::to_string(summary.no_answer) + " no answer";
    if (summary.cancelled > 0)
        text += ", " + std::to_string(summary.cancelled) + " not written (cancelled)";
    return text;
}

std::string rollout_results_text(const std::vector<RolloutRow>& rows)
{
    std::string text;
    for (const RolloutRow& row : rows)
        text += row.ip + '\t' + row.model + '\t' + row.identifier + '\t' +
                rollout_result_text(row.result) + '\n';
    return text;
}

std::string rollout_results_csv(const std::vector<RolloutRow>& rows)
{
    std::string csv = csv_line({"address", "model", "identifier", "result"});
    for (const RolloutRow& row : rows)
        csv += csv_line({latin1_to_utf8(row.ip), latin1_to_utf8(row.model),
                         latin1_to_utf8(row.identifier),
                         latin1_to_utf8(rollout_result_text(row.result))});
    return csv;
}

} // namespace nimbrel
