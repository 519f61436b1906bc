#include "app/file_export.h"

#include "app/file_chooser.h"
#include "app/message_dialog.h"

#include <QSaveFile>

namespace nimbrel {

void exportToChosenFile(QWidget* parent, const QString& caption, const QString& suggestedName,
                        const std::string& bytes, const QString& failureText)
{
    const QString path = chooseSaveFile(parent, caption, suggestedName,
                                        QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    // Written beside the target and renamed over it at the end: a failure leaves no half file.
    QSaveFile file(path);
    const QByteArray content = QByteArray::fromStdString(bytes);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    if (!written || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        MessageDialog(failureText.arg(path, reason), DialogKind::Error);
    }
}

} // namespace nimbrel
