#include "app/guarded.h"

namespace nimbrel {

QString errorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void showUnhandledError(const QString& message)
{
    MessageDialog(errorBoxText(message), DialogKind::Error);
}

} // namespace nimbrel
