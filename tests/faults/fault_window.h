#pragma once
// The real window with the program's own endpoint settings (0.0.0.0, port 12340, broadcasts to
// 255.255.255.255), for the tests that run inside the tool namespace of the virtual LAN, and
// the things a user does with it.

#include "app/tform1.h"
#include "virtual_lan.h"
#include "window_widgets.h"

#include <QStringList>
#include <QtGlobal>

namespace nimbrel::testing {

struct FaultWindow {
    explicit FaultWindow(int refreshIntervalMs = 10000);
    ~FaultWindow();
    FaultWindow(const FaultWindow&) = delete;
    FaultWindow& operator=(const FaultWindow&) = delete;

    bool lists(const std::string& address) { return servers.find(address) != nullptr; }
    bool lists(AddressValue address) { return lists(int_to_ip(address)); }
    QStringList captions();

    // Where a user clicks a row: inside its caption, clear of the information button.
    void clickRow(int row);
    // Pointer onto the row's information button, then a click on it.
    void openPopover(int row);
    // "Clear list" as the user reaches it: the list's context menu.
    void clearList();

    // First, so that no window exists outside the tool namespace.
    const bool inToolNamespace = requireToolNamespace();
    DeviceRegistry servers;
    TForm1 form;
};

// While it lives, the offscreen platform's notes that it cannot raise a window or grab the
// keyboard (each time the pop-over opens) are dropped; every other message goes on to QTest.
class PlatformNotesFilter {
public:
    PlatformNotesFilter();
    ~PlatformNotesFilter();
    PlatformNotesFilter(const PlatformNotesFilter&) = delete;
    PlatformNotesFilter& operator=(const PlatformNotesFilter&) = delete;
};

} // namespace nimbrel::testing
