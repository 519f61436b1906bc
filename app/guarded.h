#pragma once
// Exceptions must not cross Qt's signal and event machinery, so every event handler runs its
// body through runGuarded: an error that escapes is shown in an error box and the program goes on.
// The handling of a received datagram is guarded the same way, but drops what escapes unseen: a
// stray datagram must never put a box in front of the user.

#include "app/message_dialog.h"

#include <QString>

#include <exception>
#include <utility>

namespace nimbrel {

// The error box's text: a full stop is added when the last character sorts above '.'.
QString errorBoxText(const QString& message);

void showUnhandledError(const QString& message);

enum class EscapedError { Show, Drop };

template <typename Body> void runGuarded(Body&& body, EscapedError escaped = EscapedError::Show)
{
    try {
        std::forward<Body>(body)();
    } catch (const std::exception& error) {
        if (escaped == EscapedError::Show)
            showUnhandledError(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        if (escaped == EscapedError::Show)
            showUnhandledError(QString());
    }
}

} // namespace nimbrel
