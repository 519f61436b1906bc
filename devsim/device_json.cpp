#include "devsim/device_json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <limits>

namespace nimbrel::devsim {

namespace {

using namespace Qt::StringLiterals;

bool read_text(const QJsonValue& value, const QString& name, std::string& out, std::string& error)
{
    const QString text = value.toString();
    if (!value.isString() || text.toLatin1().size() != text.toUtf8().size()) {
        error = u"\"%1\" must be a text of ASCII characters"_s.arg(name).toStdString();
        return false;
    }
    out = text.toStdString();
    return true;
}

bool read_settings(const QJsonValue& value, DeviceSettings& settings, std::string& error)
{
    if (!value.isObject()) {
        error = "\"settings\" must be an object";
        return false;
    }
    const QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        std::string* field = setting_by_name(settings, it.key().toStdString());
        if (!field) {
            error = "unknown setting \"" + it.key().toStdString() + "\"";
            return false;
        }
        if (!read_text(it.value(), it.key(), *field, error)) {
            return false;
        }
    }
    return true;
}

bool read_field(const QString& key, const QJsonValue& value, DeviceInfo& device, std::string& error)
{
    const std::pair<QString, std::string*> texts[] = {
        {u"model"_s, &device.model},       {u"identifier"_s, &device.identifier},
        {u"firmware"_s, &device.firmware}, {u"build"_s, &device.build},
        {u"user"_s, &device.user},         {u"admin_password"_s, &device.admin_password}};
    for (const auto& [name, field] : texts) {
        if (key == name) {
            return read_text(value, key, *field, error);
        }
    }
    const std::pair<QString, bool*> switches[] = {
        {u"older_firmware"_s, &device.older_firmware},
        {u"answers_get_network"_s, &device.answers_get_network}};
    for (const auto& [name, field] : switches) {
        if (key == name) {
            if (!value.isBool()) {
                // Formatted by QString: GCC 12 at -O3 (the Windows build) mistakes the
                // std::string concatenation for an overlapping copy (-Wrestrict).
                error = u"\"%1\" must be true or false"_s.arg(key).toStdString();
                return false;
            }
            *field = value.toBool();
            return true;
        }
    }
    if (key == u"settings"_s) {
        return read_settings(value, device.settings, error);
    }
    error = "unknown key \"" + key.toStdString() + "\"";
    return false;
}

std::optional<DeviceInfo> read_device(const QJsonValue& value, int number, std::string& error)
{
    const std::string where = "device " + std::to_string(number) + ": ";
    const QJsonObject object = value.toObject();
    std::string address_text;
    AddressValue address = 0;
    if (!value.isObject() || !object.contains(u"address"_s) ||
        !read_text(object.value(u"address"_s), u"address"_s, address_text, error) ||
        !parse_dotted_quad(address_text, address)) {
        error = where + "needs an \"address\" in dotted-quad form";
        return std::nullopt;
    }
    DeviceInfo device;
    device.address = address;
    device.identifier = "TVX-" + std::to_string(number);
    device.settings = default_settings(address);
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.key() != u"address"_s && !read_field(it.key(), it.value(), device, error)) {
            error = where + error;
            return std::nullopt;
        }
    }
    return device;
}

} // namespace

std::optional<DeviceFile> parse_device_file(const QByteArray& json, std::string& error)
{
    QJsonParseError parse_error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse_error);
    if (parse_error.error != QJsonParseError::NoError || !document.isObject()) {
        error = parse_error.error != QJsonParseError::NoError
                    ? "bad JSON at offset " + std::to_string(parse_error.offset) + ": " +
                          parse_error.errorString().toStdString()
                    : std::string("the top level must be an object");
        return std::nullopt;
    }
    const QJsonObject top = document.object();
    DeviceFile file;
    for (auto it = top.begin(); it != top.end(); ++it) {
        if (it.key() == u"restart_ms"_s) {
            const double ms = it.value().toDouble(-1);
            if (!it.value().isDouble() || ms < 0 || ms > std::numeric_limits<int>::max() ||
                ms != static_cast<int>(ms)) {
                error = "\"restart_ms\" must be a whole number of milliseconds, 0 or more";
                return std::nullopt;
            }
            file.restart_ms = static_cast<int>(ms);
        } else if (it.key() == u"devices"_s) {
            if (!it.value().isArray()) {
                error = "\"devices\" must be an array";
                return std::nullopt;
            }
            const QJsonArray devices = it.value().toArray();
            for (qsizetype i = 0; i < devices.size(); ++i) {
                auto device = read_device(devices.at(i), static_cast<int>(i + 1), error);
                if (!device) {
                    return std::nullopt;
                }
                file.devices.push_back(std::move(*device));
            }
        } else {
            error = "unknown key \"" + it.key().toStdString() + "\"";
            return std::nullopt;
        }
    }
    return file;
}

} // namespace nimbrel::devsim
