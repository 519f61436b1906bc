#pragma once
// The file chooser for saving, behind one seam as MessageDialog is: tests replace the platform's
// dialog with a function that answers the path.

#include <QString>

#include <functional>

class QWidget;

namespace nimbrel {

// The path the user picked to save to, or empty when the user cancelled.
QString chooseSaveFile(QWidget* parent, const QString& caption, const QString& suggestedName,
                       const QString& filter);

using SaveFileHook = std::function<QString(const QString& caption, const QString& suggestedName)>;

// Replaces the real dialog (an empty hook restores it); returns the hook it replaced.
SaveFileHook setSaveFileHook(SaveFileHook hook);

} // namespace nimbrel
