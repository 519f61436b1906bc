#pragma once
// Records as lists of their 18 texts, so that a failing comparison names the field that differs.

#include "devices/web_server.h"

#include <QByteArray>
#include <QByteArrayList>

namespace nimbrel::test {

inline QByteArrayList fieldsOf(const WebServer& record)
{
    QByteArrayList fields;
    for (auto field : kWebServerFields)
        fields.append(QByteArray::fromStdString(record.*field));
    return fields;
}

// A record whose every field holds a text of its own, to show which fields an operation touched.
inline WebServer markedRecord()
{
    WebServer record;
    for (std::size_t k = 0; k < kWebServerFields.size(); ++k)
        record.*kWebServerFields[k] = "old" + std::to_string(k);
    return record;
}

} // namespace nimbrel::test
