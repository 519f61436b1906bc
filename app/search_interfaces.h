#pragma once
// Where a search goes, in words for the user: the interfaces a limited broadcast leaves through
// (up, able to broadcast, not loopback, with an IPv4 address), or the one address it is sent to.

#include <QString>
#include <QStringList>

#include <string>

namespace nimbrel {

// "eth0 (192.168.1.5)" for each interface a limited broadcast leaves through.
QStringList broadcastInterfaceNames();

// What the empty list says once a search had no answer: why devices may not answer, and where
// the search went.
QString noAnswerHint(const std::string& broadcastAddress);

} // namespace nimbrel
