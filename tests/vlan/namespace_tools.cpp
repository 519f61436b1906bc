#include "namespace_tools.h"

#include <QTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace nimbrel::testing {

QString lanNamespace(int lan)
{
    return QString::fromStdString(
        vlanVariable(qPrintable(QStringLiteral("NIMBREL_LAN%1_NS").arg(lan))));
}

std::string lanDevice(int lan, int offset)
{
    return "10." + std::to_string(100 + lan) + "." + std::to_string(offset / 256) + "." +
           std::to_string(offset % 256);
}

namespace {

// Opens a socket inside another network namespace: a socket stays in the namespace it was
// made in, so the thread switches there for the call and comes back.
int socketInNamespace(const QString& name)
{
    const int self = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    const int target =
        ::open(qPrintable(QStringLiteral("/var/run/netns/") + name), O_RDONLY | O_CLOEXEC);
    if (self < 0 || target < 0 || ::setns(target, CLONE_NEWNET) != 0)
        throw std::runtime_error("cannot enter namespace " + name.toStdString());
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const bool back = ::setns(self, CLONE_NEWNET) == 0;
    ::close(self);
    ::close(target);
    if (!back)
        throw std::runtime_error("cannot return to the tool namespace");
    return fd;
}

} // namespace

LanListener::LanListener(int lan) : socket_(socketInNamespace(lanNamespace(lan)))
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(12340);
    if (::bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        throw std::runtime_error("cannot bind the LAN listener");
}

LanListener::~LanListener()
{
    ::close(socket_);
}

std::optional<LanListener::Datagram> LanListener::receive(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[65536];
    for (;;) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t n = ::recvfrom(socket_, buffer, sizeof buffer, 0,
                                     reinterpret_cast<sockaddr*>(&from), &length);
        if (n >= 0) {
            char sender[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &from.sin_addr, sender, sizeof sender);
            return Datagram{std::string(buffer, static_cast<std::size_t>(n)), sender,
                            ntohs(from.sin_port)};
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        QTest::qWait(2);
    }
}

Simulator::Simulator(int lan, const QStringList& arguments)
{
    process_.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&process_, &QProcess::readyRead, &process_,
                     [this] { output_ += QString::fromLocal8Bit(process_.readAll()); });
    process_.start(QStringLiteral("ip"),
                   QStringList{"netns", "exec", lanNamespace(lan),
                               QString::fromStdString(vlanVariable("NIMBREL_DEVSIM"))} +
                       arguments);
}

Simulator::~Simulator()
{
    process_.terminate();
    if (!process_.waitForFinished(3000))
        process_.kill();
    process_.waitForFinished(3000);
}

bool Simulator::waitForLine(const QString& text, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!output_.contains(text)) {
        if (std::chrono::steady_clock::now() >= deadline ||
            process_.state() == QProcess::NotRunning)
            return output_.contains(text);
        QTest::qWait(10);
    }
    return true;
}

} // namespace nimbrel::testing
