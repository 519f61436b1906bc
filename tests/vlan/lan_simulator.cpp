#include "lan_simulator.h"

#include "virtual_lan.h"

#include <QFile>
#include <QTemporaryDir>
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

QString writeDeviceFile(const QTemporaryDir& dir, const QByteArray& json)
{
    const QString path = dir.filePath(QStringLiteral("devices.json"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(json);
    return path;
}

QByteArray readStoredFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace nimbrel::testing
