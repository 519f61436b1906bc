#pragma once
// The window's widgets found by their objectNames, as assistive technology finds them: tests
// act on a widget through real events, never through the window's members.

#include "app/device_list_view.h"
#include "app/info_popover.h"
#include "app/settings_panel.h"
#include "app/switch_widget.h"
#include "net/udp_endpoint.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <cstdlib>

namespace nimbrel::testing {

// The one descendant of window named name; a missing one ends the test run, naming it.
template <typename W> W* child(const QObject& window, const char* name)
{
    W* found = window.findChild<W*>(QString::fromLatin1(name));
    if (found == nullptr)
        qFatal("%s has no %s named %s", qPrintable(window.objectName()),
               W::staticMetaObject.className(), name);
    return found;
}

} // namespace nimbrel::testing
