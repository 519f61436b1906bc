#pragma once
// What a user does with the real window, through real events: click a row, open a row's
// pop-over, search, reach "Clear list" through the list's menu; and what the user reads: the
// captions of the rows.

#include "app/tform1.h"

#include <QStringList>

namespace nimbrel::testing {

class WindowDriver {
public:
    explicit WindowDriver(TForm1& window) : window_(window) {}

    QStringList captions() const;
    // Where a user clicks a row: inside its caption, clear of the information button.
    void clickRow(int row);
    // Pointer onto the row's information button, then a click on it.
    void openPopover(int row);
    void search();
    // The list's context menu, opened below the rows, then the entry of that objectName.
    void chooseFromListMenu(const char* entry);
    // The list's context menu, then its "Clear list".
    void clearList() { chooseFromListMenu("MenuItem1"); }

private:
    TForm1& window_;
};

} // namespace nimbrel::testing
