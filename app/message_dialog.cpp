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

DialogAnswer MessageDialog(const QString& text, DialogKind kind, DialogButtons buttons)
{
    if (hook())
        return hook()(text, kind, buttons);
    const bool withCancel = buttons == DialogButtons::OkCancel;
    QMessageBox box(iconOf(kind), dialogCaption(kind), text,
                    withCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setObjectName(QStringLiteral("MessageDialog"));
    if (withCancel)
        box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok ? DialogAnswer::Ok : DialogAnswer::Cancel;
}

MessageDialogHook setMessageDialogHook(MessageDialogHook replacement)
{
    return std::exchange(hook(), std::move(replacement));
}

} // namespace nimbrel
