#include "devsim/options.h"

#include "devsim/device_json.h"
#include "util/text.h"

#include <QCommandLineParser>
#include <QFile>

#include <set>

namespace nimbrel::devsim {

namespace {

using namespace Qt::StringLiterals;

constexpr qint64 max_devices = 65536;

struct Flags {
    QCommandLineOption bind{u"bind"_s, u"Address to bind (default 0.0.0.0)."_s, u"ADDR"_s,
                            u"0.0.0.0"_s};
    QCommandLineOption port{u"port"_s, u"UDP port (default 12340)."_s, u"PORT"_s, u"12340"_s};
    QCommandLineOption config{u"config"_s, u"Read devices from a JSON file."_s, u"FILE"_s};
    QCommandLineOption count{u"count"_s,
                             u"Simulate N devices on consecutive addresses (default 1 without "
                             u"--config, else 0)."_s,
                             u"N"_s};
    QCommandLineOption first{u"first-address"_s,
                             u"Address of the first of the --count devices (default 10.101.0.1)."_s,
                             u"ADDR"_s, u"10.101.0.1"_s};
    QCommandLineOption model{u"model"_s, u"Model (default QUORIX)."_s, u"TEXT"_s, u"QUORIX"_s};
    QCommandLineOption identifier{
        u"identifier"_s,
        u"Identifier; with more than one device a counter is appended (default TVX-0001, "
        u"TVX-0002, ...)."_s,
        u"TEXT"_s};
    QCommandLineOption firmware{u"firmware"_s, u"Firmware version (default 2.4.1)."_s, u"TEXT"_s,
                                u"2.4.1"_s};
    QCommandLineOption build{u"build"_s, u"Build number (default 1187)."_s, u"TEXT"_s, u"1187"_s};
    QCommandLineOption user{u"user"_s, u"User (default admin)."_s, u"TEXT"_s, u"admin"_s};
    QCommandLineOption password{u"admin-password"_s,
                                u"Administrator password, 0 to 4 characters (default 1234)."_s,
                                u"TEXT"_s, u"1234"_s};
    QCommandLineOption older{u"older-firmware"_s,
                             u"The last K of the --count devices answer short announcements."_s,
                             u"K"_s, u"0"_s};
    QCommandLineOption ignore_get_network{
        u"ignore-get-network"_s,
        u"The --count devices never answer get_network (they still answer searches and take "
        u"writes)."_s};
    QCommandLineOption restart{u"restart-ms"_s,
                               u"Silence after a successful write (default 3000, or the "
                               u"file's restart_ms)."_s,
                               u"MS"_s};
    QCommandLineOption files_dir{u"files-dir"_s,
                                 u"Store accepted files under DIR/<device address>/ (default: "
                                 u"keep them in memory)."_s,
                                 u"DIR"_s};
    QCommandLineOption settings{u"settings"_s,
                                u"The 12 settings of the --count devices, each followed by ';': "
                                u"w_ap;w_ssid;w_enc;w_pass;w_dhcp;w_ip;w_mask;w_gw;eth_dhcp;"
                                u"eth_ip;eth_mask;eth_gw;"_s,
                                u"LIST"_s};
    QCommandLineOption setting{u"setting"_s,
                               u"One setting of the --count devices, e.g. w_ssid=Office "
                               u"(repeatable, applied after --settings)."_s,
                               u"NAME=VALUE"_s};
    QCommandLineOption share_port{
        u"share-port"_s,
        u"Share the port with other simulators started with --share-port: each gets every "
        u"search, so two of them can answer from one address, as two devices given one "
        u"address do."_s};
    QCommandLineOption delay{u"answer-delay-us"_s,
                             u"Pause between the announcements of one search (default 0)."_s,
                             u"US"_s, u"0"_s};
};

bool read_number(const QCommandLineParser& parser, const QCommandLineOption& option, qint64 low,
                 qint64 high, qint64& value, std::string& error)
{
    bool ok = false;
    const QString text = parser.value(option);
    value = text.toLongLong(&ok);
    if (!ok || value < low || value > high) {
        error = "--" + option.names().first().toStdString() + ": expected a number from " +
                std::to_string(low) + " to " + std::to_string(high) + ", got \"" +
                text.toStdString() + "\"";
        return false;
    }
    return true;
}

bool read_ascii(const QCommandLineParser& parser, const QCommandLineOption& option,
                std::string& value, std::string& error)
{
    const QString text = parser.value(option);
    if (text.toLatin1().size() != text.toUtf8().size()) {
        error = "--" + option.names().first().toStdString() + ": only ASCII text is allowed";
        return false;
    }
    value = text.toStdString();
    return true;
}

bool apply_setting_flags(const QCommandLineParser& parser, const Flags& flags,
                         DeviceSettings& settings, std::string& error)
{
    if (parser.isSet(flags.settings)) {
        std::string list;
        if (!read_ascii(parser, flags.settings, list, error)) {
            return false;
        }
        if (!list.empty() && list.back() != ';') {
            list += ';';
        }
        const auto values = split_string(list, ';');
        if (values.size() != setting_names.size()) {
            error = "--settings: expected 12 values, each followed by ';', got " +
                    std::to_string(values.size());
            return false;
        }
        for (std::size_t i = 0; i < values.size(); ++i) {
            *setting_by_name(settings, setting_names[i]) = values[i];
        }
    }
    for (const QString& item : parser.values(flags.setting)) {
        const auto equals = item.indexOf(u'=');
        std::string* field =
            equals < 0 ? nullptr : setting_by_name(settings, item.left(equals).toStdString());
        if (!field || item.toLatin1().size() != item.toUtf8().size()) {
            error = "--setting: expected NAME=VALUE with NAME one of w_ap, w_ssid, w_enc, "
                    "w_pass, w_dhcp, w_ip, w_mask, w_gw, eth_dhcp, eth_ip, eth_mask, eth_gw "
                    "and an ASCII value, got \"" +
                    item.toStdString() + "\"";
            return false;
        }
        *field = item.mid(equals + 1).toStdString();
    }
    return true;
}

std::string counted_identifier(const std::string& base, qint64 number)
{
    std::string digits = std::to_string(number);
    if (digits.size() < 4) {
        digits.insert(0, 4 - digits.size(), '0');
    }
    return base + digits;
}

bool add_flag_devices(const QCommandLineParser& parser, const Flags& flags, qint64 count,
                      std::vector<DeviceInfo>& devices, std::string& error)
{
    AddressValue first = 0;
    if (!parse_dotted_quad(parser.value(flags.first).toStdString(), first)) {
        error = "--first-address: \"" + parser.value(flags.first).toStdString() +
                "\" is not a dotted-quad address";
        return false;
    }
    if (count > 0 && static_cast<qint64>(first) + count - 1 > 0xFFFFFFFFll) {
        error = "--count: the addresses run past 255.255.255.255";
        return false;
    }
    qint64 older = 0;
    if (!read_number(parser, flags.older, 0, count, older, error)) {
        return false;
    }
    DeviceInfo base;
    std::string identifier = "TVX-";
    const bool fixed_identifier = parser.isSet(flags.identifier) && count == 1;
    if ((parser.isSet(flags.identifier) &&
         !read_ascii(parser, flags.identifier, identifier, error)) ||
        !read_ascii(parser, flags.model, base.model, error) ||
        !read_ascii(parser, flags.firmware, base.firmware, error) ||
        !read_ascii(parser, flags.build, base.build, error) ||
        !read_ascii(parser, flags.user, base.user, error) ||
        !read_ascii(parser, flags.password, base.admin_password, error)) {
        return false;
    }
    for (qint64 i = 0; i < count; ++i) {
        DeviceInfo device = base;
        device.address = first + static_cast<AddressValue>(i);
        device.identifier = fixed_identifier ? identifier : counted_identifier(identifier, i + 1);
        device.older_firmware = i >= count - older;
        device.answers_get_network = !parser.isSet(flags.ignore_get_network);
        device.settings = default_settings(device.address);
        if (!apply_setting_flags(parser, flags, device.settings, error)) {
            return false;
        }
        devices.push_back(std::move(device));
    }
    return true;
}

bool read_device_file(const QString& path, ProgramOptions& options, std::string& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error =
            "--config: cannot read " + path.toStdString() + ": " + file.errorString().toStdString();
        return false;
    }
    auto parsed = parse_device_file(file.readAll(), error);
    if (!parsed) {
        error = "--config " + path.toStdString() + ": " + error;
        return false;
    }
    for (auto& device : parsed->devices) {
        options.devices.push_back(std::move(device));
    }
    if (parsed->restart_ms) {
        options.simulator.restart_time = std::chrono::milliseconds(*parsed->restart_ms);
    }
    return true;
}

bool check_devices(const std::vector<DeviceInfo>& devices, std::string& error)
{
    if (devices.empty()) {
        error = "no devices to simulate";
        return false;
    }
    if (static_cast<qint64>(devices.size()) > max_devices) {
        error = "too many devices (at most " + std::to_string(max_devices) + ")";
        return false;
    }
    std::set<AddressValue> seen;
    for (const auto& device : devices) {
        if (error = device_problem(device); !error.empty()) {
            return false;
        }
        if (!seen.insert(device.address).second) {
            error = "duplicate device address " + int_to_ip(device.address);
            return false;
        }
    }
    return true;
}

bool read_endpoint(const QCommandLineParser& parser, const Flags& flags, ProgramOptions& options,
                   std::string& error)
{
    if (!parse_dotted_quad(parser.value(flags.bind).toStdString(), options.bind_address)) {
        error = "--bind: \"" + parser.value(flags.bind).toStdString() +
                "\" is not a dotted-quad address";
        return false;
    }
    qint64 port = 0;
    qint64 delay = 0;
    if (!read_number(parser, flags.port, 1, 65535, port, error) ||
        !read_number(parser, flags.delay, 0, 1'000'000, delay, error)) {
        return false;
    }
    options.port = static_cast<std::uint16_t>(port);
    options.answer_delay = std::chrono::microseconds(delay);
    options.share_port = parser.isSet(flags.share_port);
    return true;
}

bool read_options(const QCommandLineParser& parser, const Flags& flags, ProgramOptions& options,
                  std::string& error)
{
    if (!read_endpoint(parser, flags, options, error)) {
        return false;
    }
    if (parser.isSet(flags.config) &&
        !read_device_file(parser.value(flags.config), options, error)) {
        return false;
    }
    qint64 count = parser.isSet(flags.config) ? 0 : 1;
    if (parser.isSet(flags.count) &&
        !read_number(parser, flags.count, 0, max_devices, count, error)) {
        return false;
    }
    if (!add_flag_devices(parser, flags, count, options.devices, error)) {
        return false;
    }
    qint64 restart_ms = 0;
    if (parser.isSet(flags.restart)) {
        if (!read_number(parser, flags.restart, 0, 3'600'000, restart_ms, error)) {
            return false;
        }
        options.simulator.restart_time = std::chrono::milliseconds(restart_ms);
    }
    if (parser.isSet(flags.files_dir)) {
        options.simulator.files_dir = parser.value(flags.files_dir).toStdString();
    }
    return check_devices(options.devices, error);
}

} // namespace

ParsedCommandLine parse_command_line(const QStringList& arguments)
{
    const Flags flags;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Plays Talvonex devices on one UDP socket: answers searches, get_network and file "
        u"writes, each from the device's own address.\n"
        u"Devices come from --config FILE and/or --count; a file looks like\n"
        u"  {\"restart_ms\": 3000, \"devices\": [{\"address\": \"10.101.0.5\", "
        u"\"model\": \"QUORIX\",\n"
        u"   \"identifier\": \"TVX-1\", \"firmware\": \"2.4.1\", \"build\": \"1187\", "
        u"\"user\": \"admin\",\n"
        u"   \"admin_password\": \"1234\", \"older_firmware\": false, "
        u"\"answers_get_network\": true,\n"
        u"   \"settings\": {\"w_ap\": \"no\", \"w_ssid\": \"Office\", ...}}]}\n"
        u"where only \"address\" is required. Prints one line per event on standard output. "
        u"Exit status 2 for bad arguments or a bad file."_s);
    const QCommandLineOption help = parser.addHelpOption();
    parser.addOptions({flags.bind, flags.port, flags.config, flags.count, flags.first, flags.model,
                       flags.identifier, flags.firmware, flags.build, flags.user, flags.password,
                       flags.older, flags.ignore_get_network, flags.restart, flags.files_dir,
                       flags.settings, flags.setting, flags.delay, flags.share_port});
    ParsedCommandLine result;
    if (!parser.parse(arguments)) {
        result.error = parser.errorText().toStdString();
        return result;
    }
    if (parser.isSet(help)) {
        result.show_help = true;
        result.help_text = parser.helpText().toStdString();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.error =
            "unexpected argument \"" + parser.positionalArguments().first().toStdString() + "\"";
        return result;
    }
    ProgramOptions options;
    if (read_options(parser, flags, options, result.error)) {
        result.options = std::move(options);
    }
    return result;
}

} // namespace nimbrel::devsim
