#include "lan_simulator.h"

#include "virtual_lan.h"

#include <QTest>

#include <chrono>

namespace nimbrel::testing {

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
