#include "app/message_dialog.h"

#include <QApplication>
#include <QMessageBox>

namespace nimbrel {

namespace {

MessageDialogHook& hook()
{
    static MessageDialogHook current;
    return current;
}

QMessageBox::Icon iconOf(DialogKind kind)
{
    switch (kind) {
    case DialogKind::Warning:
        return QMessageBox::Warning;
    case DialogKind::Error:
        return QMessageBox::Critical;
    case DialogKind::Information:
        return QMessageBox::Information;
    case DialogKind::Confirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QString dialogCaption(DialogKind kind)
{
    switch (kind) {
    case DialogKind::Warning:
        return QStringLiteral("Warning");
    case DialogKind::Error:
        return QStringLiteral("Error");
    case DialogKind::Information:
        return QStringLiteral("Information");
    case DialogKind::Confirmation:
        return QStringLiteral("Confirm");
    }
    return {};
}

void MessageDialog(const QString& text, DialogKind kind)
{
    if (hook()) {
        hook()(text, kind);
        return;
    }
    QMessageBox box(iconOf(kind), dialogCaption(kind), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setObjectName(QStringLiteral("MessageDialog"));
    box.exec();
}

MessageDialogHook setMessageDialogHook(MessageDialogHook replacement)
{
    return std::exchange(hook(), std::move(replacement));
}

} // namespace nimbrel
