#pragma once
// Saving a file the user names: the chooser, then a write that leaves either the whole file or,
// on failure, no file at all and a message saying why.

#include <QString>

#include <string>

class QWidget;

namespace nimbrel {

// Asks for a path (offering suggestedName, CSV files first) and writes bytes there. A failure
// shows failureText with %1 the path and %2 the reason. Nothing happens when the user cancels.
void exportToChosenFile(QWidget* parent, const QString& caption, const QString& suggestedName,
                        const std::string& bytes, const QString& failureText);

} // namespace nimbrel
