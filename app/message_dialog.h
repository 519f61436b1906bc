#pragma once
// Every message box of the program goes through MessageDialog, so that tests can replace the
// real box with a recorder and see each text and kind the user would see.

#include <QString>

#include <functional>

namespace nimbrel {

enum class DialogKind { Warning, Error, Information, Confirmation };

// A single OK button, or OK and Cancel for a question whose answer matters.
enum class DialogButtons { Ok, OkCancel };
enum class DialogAnswer { Ok, Cancel };

// Shows a modal box with the kind's icon and caption and the buttons; returns when the box is
// closed, with the button that closed it (closing the box otherwise counts as Cancel when
// there is one).
DialogAnswer MessageDialog(const QString& text, DialogKind kind,
                           DialogButtons buttons = DialogButtons::Ok);

// The caption of a kind's box: "Warning", "Error", "Information" or "Confirm".
QString dialogCaption(DialogKind kind);

using MessageDialogHook =
    std::function<DialogAnswer(const QString& text, DialogKind kind, DialogButtons buttons)>;

// Replaces the real box (an empty hook restores it); returns the hook it replaced.
MessageDialogHook setMessageDialogHook(MessageDialogHook hook);

} // namespace nimbrel
