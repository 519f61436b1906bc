#pragma once
// Widgets hold Unicode text; the protocol and the device records hold 8-bit text. Latin-1 maps
// every byte to one character and back, so nothing a device sends is lost on its way to a widget.

#include <QString>

#include <string>

namespace nimbrel {

inline std::string toBytes(const QString& text)
{
    return text.toLatin1().toStdString();
}

inline QString fromBytes(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace nimbrel
