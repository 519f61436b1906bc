#include "app/file_chooser.h"

#include <QFileDialog>

#include <utility>

namespace nimbrel {

namespace {

SaveFileHook& hook()
{
    static SaveFileHook current;
    return current;
}

} // namespace

QString chooseSaveFile(QWidget* parent, const QString& caption, const QString& suggestedName,
                       const QString& filter)
{
    if (hook())
        return hook()(caption, suggestedName);
    return QFileDialog::getSaveFileName(parent, caption, suggestedName, filter);
}

SaveFileHook setSaveFileHook(SaveFileHook replacement)
{
    return std::exchange(hook(), std::move(replacement));
}

} // namespace nimbrel
