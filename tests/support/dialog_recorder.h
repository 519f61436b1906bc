#pragma once
// Replaces the real message box for as long as it lives and records what the user would see.

#include "app/message_dialog.h"

#include <QList>
#include <QString>

#include <functional>

namespace nimbrel::testing {

struct ShownDialog {
    QString text;
    DialogKind kind;
    DialogButtons buttons = DialogButtons::Ok;
    bool operator==(const ShownDialog&) const = default;
};

class DialogRecorder {
public:
    // onShow runs while the "box" is open, as a real box's event loop would.
    explicit DialogRecorder(std::function<void(const ShownDialog&)> onShow = {})
    {
        previous_ = setMessageDialogHook(
            [this, onShow](const QString& text, DialogKind kind, DialogButtons buttons) {
                shown.append({text, kind, buttons});
                if (onShow)
                    onShow(shown.last());
                return buttons == DialogButtons::OkCancel ? answer : DialogAnswer::Ok;
            });
    }
    ~DialogRecorder() { setMessageDialogHook(previous_); }
    DialogRecorder(const DialogRecorder&) = delete;
    DialogRecorder& operator=(const DialogRecorder&) = delete;

    QList<ShownDialog> shown;
    // What the user answers a box with OK and Cancel.
    DialogAnswer answer = DialogAnswer::Ok;

private:
    MessageDialogHook previous_;
};

} // namespace nimbrel::testing
