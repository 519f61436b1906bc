#pragma once
// Exceptions must not cross Qt's signal and event machinery, so every event handler runs its
// body through runGuarded: an error that escapes is shown in an error box and the program goes on.

#include "app/message_dialog.h"

#include <QString>

#include <exception>
#include <utility>

namespace nimbrel {

// The error box's text: a full stop is added when the last character sorts above '.'.
QString errorBoxText(const QString& message);

void showUnhandledError(const QString& message);

template <typename Body> void runGuarded(Body&& body)
{
    try {
        std::forward<Body>(body)();
    } catch (const std::exception& error) {
        showUnhandledError(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        showUnhandledError(QString());
    }
}

} // namespace nimbrel
