#include "app/search_interfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace nimbrel {

QStringList broadcastInterfaceNames()
{
    QStringList names;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return names;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        const unsigned flags = entry->ifa_flags;
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        if (!(flags & IFF_UP) || !(flags & IFF_BROADCAST) || (flags & IFF_LOOPBACK))
            continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        inet_ntop(AF_INET, &address->sin_addr, text, sizeof text);
        names << QStringLiteral("%1 (%2)").arg(QString::fromLocal8Bit(entry->ifa_name),
                                               QString::fromLatin1(text));
    }
    freeifaddrs(list);
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
                          "computer and the devices stops the search.\n\n"
                          "A firewall on this computer must let UDP port 12340 in.\n\n") +
           where;
}

} // namespace nimbrel
