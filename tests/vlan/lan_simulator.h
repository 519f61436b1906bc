#pragma once
// Simulators for the tests that run inside the virtual LAN: the test process itself runs in the
// tool namespace and starts them in the LAN namespaces beside it. The sockets in those
// namespaces are the test kit's (lan_namespace.h).

#include "lan_namespace.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

class QTemporaryDir;

namespace nimbrel::testing {

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

// Writes the simulator's device file (--config) into dir; returns its path.
QString writeDeviceFile(const QTemporaryDir& dir, const QByteArray& json);
// A file the simulator stored (--files-dir), or "<missing>".
QByteArray readStoredFile(const QString& path);

} // namespace nimbrel::testing
