#pragma once
// Helpers of the tests that run inside the virtual LAN: the test process itself runs in the tool
// namespace; these open sockets and start simulators in the LAN namespaces beside it.

#include "virtual_lan.h"
#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace nimbrel::testing {

QString lanNamespace(int lan);
// The first device address of a LAN: 10.(100+lan).0.1
std::string lanDevice(int lan, int offset);

// A UDP socket bound to 0.0.0.0:12340 inside a LAN namespace: it sees what reaches that LAN.
class LanListener {
public:
    explicit LanListener(int lan);
    ~LanListener();
    LanListener(const LanListener&) = delete;
    LanListener& operator=(const LanListener&) = delete;

    struct Datagram {
        std::string bytes;
        std::string sender;
        int senderPort = 0;
    };
    // The next datagram within the timeout; the event loop turns meanwhile.
    std::optional<Datagram> receive(int timeoutMs);

private:
    int socket_ = -1;
};

// nimbrel-devsim running in a LAN namespace until destroyed.
class Simulator {
public:
    Simulator(int lan, const QStringList& arguments);
    ~Simulator();
    // Waits for a line of its output that contains the text.
    bool waitForLine(const QString& text, int timeoutMs = 10000);
    QString output() const { return output_; }

private:
    QProcess process_;
    QString output_;
};

} // namespace nimbrel::testing
