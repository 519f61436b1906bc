#include "app/search_interfaces.h"

#include "net/socket_layer.h"

namespace nimbrel {

namespace {

// Windows Firewall asks on the first bind, and a network set as Public blocks inbound UDP for
// every program; the installer adds an inbound rule of this name, so the hint can point at it.
#ifdef _WIN32
const QString firewallAdvice = QStringLiteral(
    "Windows Firewall must let UDP port 12340 in: allow the rule \"Talvonex Nimbrel\" under "
    "Windows Defender Firewall, Allow an app through firewall, for the network's profile (a "
    "network set as Public blocks it).\n\n");
#else
const QString firewallAdvice =
    QStringLiteral("A firewall on this computer must let UDP port 12340 in.\n\n");
#endif

} // namespace

QStringList broadcastInterfaceNames()
{
    QStringList names;
    for (const os::BroadcastInterface& entry : os::broadcastInterfaces())
        names << QStringLiteral("%1 (%2)").arg(QString::fromLocal8Bit(entry.name),
                                               QString::fromStdString(entry.address));
    return names;
}

QString noAnswerHint(const std::string& broadcastAddress)
{
    QString where;
    if (broadcastAddress == "255.255.255.255") {
        const QStringList names = broadcastInterfaceNames();
        where = names.isEmpty() ? QStringLiteral("The search found no network interface to go out "
                                                 "on: check that this computer is connected.")
                                : QStringLiteral("The search went out on: %1.")
                                      .arg(names.join(QStringLiteral(", ")));
    } else {
        where =
            QStringLiteral("The search went to %1.").arg(QString::fromStdString(broadcastAddress));
    }
    return QStringLiteral("No device has answered yet.\n\n"
                          "Devices answer only on this network segment: a router between this "
                          "computer and the devices stops the search.\n\n") +
           firewallAdvice + where;
}

} // namespace nimbrel
