#pragma once
// Every message box of the program goes through MessageDialog, so that tests can replace the
// real box with a recorder and see each text and kind the user would see.

#include <QString>

#include <functional>

namespace nimbrel {

enum class DialogKind { Warning, Error, Information, Confirmation };

// Shows a modal box with the kind's icon and caption and a single OK button; returns when the
// box is closed.
void MessageDialog(const QString& text, DialogKind kind);

// The caption of a kind's box: "Warning", "Error", "Information" or "Confirm".
QString dialogCaption(DialogKind kind);

using MessageDialogHook = std::function<void(const QString& text, DialogKind kind)>;

// Replaces the real box (an empty hook restores it); returns the hook it replaced.
MessageDialogHook setMessageDialogHook(MessageDialogHook hook);

} // namespace nimbrel
