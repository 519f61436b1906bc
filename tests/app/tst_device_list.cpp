// The device list as the user sees it: devices announced over loopback appear in address order
// with their captions and colours, a click highlights a row and loads it, the information
// button opens the pop-over for its own row, and "Clear list" forgets everything.

#include "app/device_list_model.h"
#include "app/device_list_view.h"
#include "app/info_popover.h"
#include "app/switch_widget.h"
#include "form_fixture.h"
#include "list_gestures.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QTest>

using namespace nimbrel;
using namespace nimbrel::testing;

namespace {

QColor fillOf(const TForm1& form, int row)
{
    return form.listModel()->index(row).data(Qt::BackgroundRole).value<QColor>();
}

QColor strokeOf(const TForm1& form, int row)
{
    return form.listModel()->index(row).data(DeviceListModel::StrokeColorRole).value<QColor>();
}

QStringList captions(const TForm1& form)
{
    QStringList all;
    for (int row = 0; row < form.listModel()->rowCount(); ++row)
        all << form.listModel()->index(row).data().toString();
    return all;
}

const QColor white(0xFF, 0xFF, 0xFF);
const QColor grey(0xF0, 0xF0, 0xF0);
const QColor blueFill(0xCC, 0xE8, 0xFF);
const QColor blueStroke(0xBE, 0xE2, 0xFF);

using Gesture = void (*)(ListGestures&);

// The three devices of the input table, rows 0 to 2, each with an SSID of its own.
const QStringList kThreeSsids = {"Alpha", "Bravo", "Charlie"};

void announceThree(FormFixture& f)
{
    for (int row = 0; row < 3; ++row) {
        const auto peer = f.device("127.0.0." + std::to_string(row + 3));
        f.announce(*peer, announcement("QUORIX", "no;" + kThreeSsids[row].toStdString() +
                                                     ";wpa;secret123;yes;;;;yes;;;;"));
    }
}

// The selected row, the highlighted row and the device in the panel are one and the same.
void verifyOneDevice(const TForm1& form, int expectedRow)
{
    QCOMPARE(form.selectedIndex(), expectedRow);
    QCOMPARE(form.listModel()->highlightedRow(), expectedRow);
    const QString expectedSsid = expectedRow < 0 ? QString() : kThreeSsids[expectedRow];
    QCOMPARE(child<QLineEdit>(form, "e_w_ssid")->text(), expectedSsid);
}

} // namespace

Q_DECLARE_METATYPE(Gesture)

class DeviceListTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void announcements_listedInAddressOrderWithCaptions();
    void repeatedAnnouncement_changesNothingAndKeepsSelection();
    void rows_alternateColoursAndHighlightFollowsClicks();
    void click_loadsTheRowsSettings();
    void keyboard_movingTheSelectionLoadsThatDevice();
    void anyInput_keepsSelectionHighlightAndPanelOnOneDevice_data();
    void anyInput_keepsSelectionHighlightAndPanelOnOneDevice();
    void rightClick_opensTheMenuAnywhereAndSelectsNothing_data();
    void rightClick_opensTheMenuAnywhereAndSelectsNothing();
    void caption_startsThreePixelsFromTheRowsEdge();
    void accessibility_exposesTheRowsOnly();
    void newDevice_dropsSelectionBlanksPanelKeepsEdits();
    void infoButton_opensPopoverForItsOwnRow();
    void infoButton_doesNotSelectTheRow();
    void infoButton_opensOnAClickNotOnAPress();
    void clearList_forgetsDevicesAndPopoverShowsNothing();
    void rowsBeyondTheThousandth_findTheirOwnDevice();
    void dispatch_ignoresNoiseAndOversizeDatagrams();

private:
    std::unique_ptr<FormFixture> f;
};

void DeviceListTest::init()
{
    f = std::make_unique<FormFixture>();
    new QAbstractItemModelTester(f->form->listModel(),
                                 QAbstractItemModelTester::FailureReportingMode::QtTest,
                                 f->form->listModel());
    f->form->show();
}

void DeviceListTest::cleanup()
{
    f->form->close();
    f.reset();
}

void DeviceListTest::announcements_listedInAddressOrderWithCaptions()
{
    const auto a = f->device("127.0.0.5");
    const auto b = f->device("127.0.0.3");
    const auto c = f->device("127.0.0.4");
    f->announce(*a, announcement("QUORIX"));
    f->announce(*b, "im_QUORIX;short;"); // older firmware: not the full set of parts
    f->announce(*c, "xx" + announcement("ROUTER") + "trailing text");
    QCOMPARE(captions(*f->form), (QStringList{"127.0.0.3 (Outdated firmware)", "127.0.0.4 (ROUTER)",
                                              "127.0.0.5 (QUORIX)"}));
    QCOMPARE(f->servers.at(0).model, std::string());
}

void DeviceListTest::repeatedAnnouncement_changesNothingAndKeepsSelection()
{
    const auto a = f->device("127.0.0.3");
    f->announce(*a, announcement("QUORIX"));
    f->clickRow(0);
    child<QLineEdit>(*f->form, "e_w_ssid")->setText(QStringLiteral("Edited"));
    a->sendTo(announcement("OTHER", "yes;Changed;wep;;no;;;;no;;;;"), kToolAddress, f->port);
    // A datagram sent after it is handled after it: once it is, the repeat has been ignored.
    a->sendTo("im_QUORIX;x;", kToolAddress, f->port);
    const auto b = f->device("127.0.0.4");
    f->announce(*b, announcement("QUORIX"));
    QCOMPARE(f->servers.find("127.0.0.3")->model, std::string("QUORIX"));
    QCOMPARE(f->servers.find("127.0.0.3")->w_ssid, std::string("Edited"));
}

void DeviceListTest::rows_alternateColoursAndHighlightFollowsClicks()
{
    for (const char* address : {"127.0.0.3", "127.0.0.4", "127.0.0.5"}) {
        const auto peer = f->device(address);
        f->announce(*peer, announcement("QUORIX"));
    }
    QCOMPARE(fillOf(*f->form, 0), white);
    QCOMPARE(fillOf(*f->form, 1), grey);
    QCOMPARE(strokeOf(*f->form, 1), grey);
    QCOMPARE(fillOf(*f->form, 2), white);

    f->clickRow(2);
    QCOMPARE(f->form->selectedIndex(), 2);
    QCOMPARE(fillOf(*f->form, 2), blueFill);
    QCOMPARE(strokeOf(*f->form, 2), blueStroke);

    f->clickRow(1);
    QCOMPARE(fillOf(*f->form, 2), white);
    QCOMPARE(fillOf(*f->form, 1), blueFill);

    // The painted row shows the highlight, not just the model.
    QTest::qWait(20);
    const QImage shot = child<DeviceListView>(*f->form, "list")->viewport()->grab().toImage();
    const QRect row1 =
        child<DeviceListView>(*f->form, "list")
            ->visualRect(child<DeviceListView>(*f->form, "list")->model()->index(1, 0));
    QCOMPARE(QColor(shot.pixel(row1.left() + 2, row1.center().y())), blueFill);
}

void DeviceListTest::click_loadsTheRowsSettings()
{
    const auto peer = f->device("127.0.0.3");
    f->announce(*peer, announcement("QUORIX", "no;Office;WEP;12345;no;10.0.0.9;255.0.0.0;10.0.0.1;"
                                              "no;192.168.5.2;255.255.255.0;192.168.5.1;"));
    f->clickRow(0);
    TForm1& w = *f->form;
    QCOMPARE(child<QLineEdit>(w, "e_w_ssid")->text(), QStringLiteral("Office"));
    QCOMPARE(child<QComboBox>(w, "cb_w_enc")->currentIndex(), 1); // lower-cased on arrival
    QCOMPARE(child<QLineEdit>(w, "e_w_ip")->text(), QStringLiteral("10.0.0.9"));
    QCOMPARE(child<QLineEdit>(w, "e_eth_ip")->text(), QStringLiteral("192.168.5.2"));
    QVERIFY(child<QLineEdit>(w, "e_w_ip")->isEnabled());
}

void DeviceListTest::keyboard_movingTheSelectionLoadsThatDevice()
{
    const auto a = f->device("127.0.0.3");
    const auto b = f->device("127.0.0.4");
    f->announce(*a, announcement("QUORIX", "no;First;wpa;secret123;yes;;;;yes;;;;"));
    f->announce(*b, announcement("QUORIX", "no;Second;wpa;secret123;yes;;;;yes;;;;"));
    f->clickRow(0);
    QTest::keyClick(child<DeviceListView>(*f->form, "list"), Qt::Key_Down);
    QCOMPARE(f->form->selectedIndex(), 1);
    // What the panel shows is always the selected device, so edits never land in another one.
    QCOMPARE(child<QLineEdit>(*f->form, "e_w_ssid")->text(), QStringLiteral("Second"));
    QCOMPARE(fillOf(*f->form, 1), blueFill);
    child<QLineEdit>(*f->form, "e_w_ssid")->setText(QStringLiteral("Renamed"));
    QCOMPARE(f->servers.at(0).w_ssid, std::string("First"));
    QCOMPARE(f->servers.at(1).w_ssid, std::string("Renamed"));
}

void DeviceListTest::anyInput_keepsSelectionHighlightAndPanelOnOneDevice_data()
{
    QTest::addColumn<int>("startRow"); // clicked before the input; -1: nothing selected
    QTest::addColumn<Gesture>("input");
    QTest::addColumn<int>("expectedRow");

    // Buttons other than the left one never select.
    QTest::addRow("right-click on another row")
        << 0 << Gesture(+[](ListGestures& g) { g.rightClickAndDismiss(g.caption(1)); }) << 0;
    QTest::addRow("right-click on another row, nothing selected")
        << -1 << Gesture(+[](ListGestures& g) { g.rightClickAndDismiss(g.caption(1)); }) << -1;
    QTest::addRow("right-click in the empty part")
        << 0 << Gesture(+[](ListGestures& g) { g.rightClickAndDismiss(g.emptyPart()); }) << 0;
    QTest::addRow("middle-click on another row")
        << 0 << Gesture(+[](ListGestures& g) { g.click(Qt::MiddleButton, g.caption(1)); }) << 0;
    QTest::addRow("back button on another row")
        << 0 << Gesture(+[](ListGestures& g) { g.click(Qt::BackButton, g.caption(2)); }) << 0;
    QTest::addRow("right-button drag to another row") << 0 << Gesture(+[](ListGestures& g) {
        g.press(Qt::RightButton, g.caption(1));
        g.dragTo(g.caption(1), g.caption(2), Qt::RightButton);
        g.release(Qt::RightButton, g.caption(2));
    }) << 0;

    // A click is a press and a release on the same row; a drag between rows selects nothing new.
    QTest::addRow("drag from the selected row to another") << 0 << Gesture(+[](ListGestures& g) {
        g.press(Qt::LeftButton, g.caption(0));
        g.dragTo(g.caption(0), g.caption(1));
        g.release(Qt::LeftButton, g.caption(1));
    }) << 0;
    QTest::addRow("drag between two other rows") << 0 << Gesture(+[](ListGestures& g) {
        g.press(Qt::LeftButton, g.caption(1));
        g.dragTo(g.caption(1), g.caption(2));
        g.release(Qt::LeftButton, g.caption(2));
    }) << 0;
    QTest::addRow("drag away and back to the pressed row") << 0 << Gesture(+[](ListGestures& g) {
        g.press(Qt::LeftButton, g.caption(1));
        g.dragTo(g.caption(1), g.caption(2));
        g.dragTo(g.caption(2), g.caption(1));
        g.release(Qt::LeftButton, g.caption(1));
    }) << 1;
    QTest::addRow("drag into the empty part") << 0 << Gesture(+[](ListGestures& g) {
        g.press(Qt::LeftButton, g.caption(2));
        g.dragTo(g.caption(2), g.emptyPart());
        g.release(Qt::LeftButton, g.emptyPart());
    }) << 0;
    QTest::addRow("press on a row, release on its info button")
        << 0 << Gesture(+[](ListGestures& g) {
               g.press(Qt::LeftButton, g.caption(1));
               g.release(Qt::LeftButton, g.infoButton(1));
           })
        << 0;
    QTest::addRow("press on an info button, release on its row")
        << 0 << Gesture(+[](ListGestures& g) {
               g.press(Qt::LeftButton, g.infoButton(1));
               g.release(Qt::LeftButton, g.caption(1));
           })
        << 0;
    QTest::addRow("click in the empty part")
        << 0 << Gesture(+[](ListGestures& g) { g.click(Qt::LeftButton, g.emptyPart()); }) << 0;
    QTest::addRow("double-click on another row")
        << 0 << Gesture(+[](ListGestures& g) { g.doubleClick(g.caption(1)); }) << 1;

    // Modifiers: single selection, and a selected row is never unselected.
    QTest::addRow("Ctrl-click on the selected row") << 0 << Gesture(+[](ListGestures& g) {
        g.click(Qt::LeftButton, g.caption(0), Qt::ControlModifier);
    }) << 0;
    QTest::addRow("Ctrl-click on another row") << 0 << Gesture(+[](ListGestures& g) {
        g.click(Qt::LeftButton, g.caption(1), Qt::ControlModifier);
    }) << 1;
    QTest::addRow("Shift-click on another row") << 0 << Gesture(+[](ListGestures& g) {
        g.click(Qt::LeftButton, g.caption(2), Qt::ShiftModifier);
    }) << 2;
    QTest::addRow("Ctrl+Space on the selected row")
        << 0 << Gesture(+[](ListGestures& g) { g.key(Qt::Key_Space, Qt::ControlModifier); }) << 0;
    QTest::addRow("Ctrl+Down, then Ctrl+Space") << 0 << Gesture(+[](ListGestures& g) {
        g.key(Qt::Key_Down, Qt::ControlModifier);
        g.key(Qt::Key_Space, Qt::ControlModifier);
    }) << 1;
    QTest::addRow("Shift+Down") << 0 << Gesture(+[](ListGestures& g) {
        g.key(Qt::Key_Down, Qt::ShiftModifier);
    }) << 1;
    QTest::addRow("Ctrl+A") << 0 << Gesture(+[](ListGestures& g) {
        g.key(Qt::Key_A, Qt::ControlModifier);
    }) << 0;

    // The keyboard moves the selection, and the panel with it.
    QTest::addRow("Down") << 0 << Gesture(+[](ListGestures& g) { g.key(Qt::Key_Down); }) << 1;
    QTest::addRow("Up at the top")
        << 0 << Gesture(+[](ListGestures& g) { g.key(Qt::Key_Up); }) << 0;
    QTest::addRow("End") << 0 << Gesture(+[](ListGestures& g) { g.key(Qt::Key_End); }) << 2;
    QTest::addRow("Home") << 2 << Gesture(+[](ListGestures& g) { g.key(Qt::Key_Home); }) << 0;
    QTest::addRow("Page Down") << 0 << Gesture(+[](ListGestures& g) { g.key(Qt::Key_PageDown); })
                               << 2;
    QTest::addRow("Page Up") << 2 << Gesture(+[](ListGestures& g) { g.key(Qt::Key_PageUp); }) << 0;
    QTest::addRow("Down with nothing selected")
        << -1 << Gesture(+[](ListGestures& g) { g.key(Qt::Key_Down); }) << 0;
    QTest::addRow("type-ahead") << 0 << Gesture(+[](ListGestures& g) {
        g.type(QStringLiteral("127.0.0.5"));
    }) << 2;
}

void DeviceListTest::anyInput_keepsSelectionHighlightAndPanelOnOneDevice()
{
    QFETCH(int, startRow);
    QFETCH(Gesture, input);
    QFETCH(int, expectedRow);

    announceThree(*f);
    if (startRow >= 0)
        f->clickRow(startRow);
    verifyOneDevice(*f->form, startRow);
    child<DeviceListView>(*f->form, "list")->setFocus();
    ListGestures gestures(child<DeviceListView>(*f->form, "list"));
    input(gestures);
    verifyOneDevice(*f->form, expectedRow);
    QVERIFY(!child<InfoPopover>(*f->form, "MultiView1")->isVisible());

    // What the user types next lands in the device on screen, and in no other.
    if (expectedRow >= 0) {
        child<QLineEdit>(*f->form, "e_w_ssid")->setText(QStringLiteral("Edited"));
        for (int row = 0; row < 3; ++row)
            QCOMPARE(QString::fromStdString(f->servers.at(row).w_ssid),
                     row == expectedRow ? QStringLiteral("Edited") : kThreeSsids[row]);
    }
}

void DeviceListTest::rightClick_opensTheMenuAnywhereAndSelectsNothing_data()
{
    QTest::addColumn<bool>("onARow");
    QTest::addRow("on a row") << true;
    QTest::addRow("in the empty part") << false;
}

void DeviceListTest::rightClick_opensTheMenuAnywhereAndSelectsNothing()
{
    QFETCH(bool, onARow);
    announceThree(*f);
    f->clickRow(0);
    ListGestures gestures(child<DeviceListView>(*f->form, "list"));
    QMenu* menu = gestures.rightClick(onARow ? gestures.caption(2) : gestures.emptyPart());
    QVERIFY(menu != nullptr);
    QCOMPARE(menu, child<QMenu>(*f->form, "PopupMenu1"));
    QCOMPARE(menu->actions().first()->text(), QStringLiteral("Clear list"));
    verifyOneDevice(*f->form, 0); // while the menu is open, too
    QTest::keyClick(menu, Qt::Key_Escape);
    QTRY_VERIFY(!menu->isVisible());
    verifyOneDevice(*f->form, 0);
}

void DeviceListTest::caption_startsThreePixelsFromTheRowsEdge()
{
    const auto peer = f->device("127.0.0.3");
    f->announce(*peer, announcement("QUORIX"));
    QTest::qWait(60); // past the repaint hold of a rebuild
    const QImage shot = child<DeviceListView>(*f->form, "list")->viewport()->grab().toImage();
    const QRect row =
        child<DeviceListView>(*f->form, "list")
            ->visualRect(child<DeviceListView>(*f->form, "list")->model()->index(0, 0));
    // The first column with dark ink: the caption's first glyph, whose own bearing is a pixel
    // or two at most.
    int firstInk = -1;
    for (int x = row.left() + 1; x < row.left() + 20 && firstInk < 0; ++x)
        for (int y = row.top() + 2; y < row.bottom() - 2; ++y)
            if (qGray(shot.pixel(x, y)) < 128) {
                firstInk = x - row.left();
                break;
            }
    QVERIFY2(firstInk >= 3 && firstInk <= 5, qPrintable(QString::number(firstInk)));
}

void DeviceListTest::accessibility_exposesTheRowsOnly()
{
    announceThree(*f);
    f->clickRow(1);
    QAccessibleInterface* list =
        QAccessible::queryAccessibleInterface(child<DeviceListView>(*f->form, "list"));
    QVERIFY(list != nullptr);
    QCOMPARE(list->role(), QAccessible::List);
    // One item per device, named by its caption; no header cells or numbers beside them.
    QStringList items;
    for (int i = 0; i < list->childCount(); ++i) {
        QAccessibleInterface* child = list->child(i);
        QCOMPARE(child->role(), QAccessible::ListItem);
        QCOMPARE(child->state().selected, i == 1);
        items << child->text(QAccessible::Name);
    }
    QCOMPARE(items,
             (QStringList{"127.0.0.3 (QUORIX)", "127.0.0.4 (QUORIX)", "127.0.0.5 (QUORIX)"}));
}

void DeviceListTest::newDevice_dropsSelectionBlanksPanelKeepsEdits()
{
    const auto a = f->device("127.0.0.4");
    f->announce(*a, announcement("QUORIX"));
    f->clickRow(0);
    QTest::keyClicks(child<QLineEdit>(*f->form, "e_w_ssid"), QStringLiteral("-edited"));
    const std::string edited = f->servers.at(0).w_ssid;
    QCOMPARE(edited, std::string("Office-edited"));

    const auto b = f->device("127.0.0.3");
    f->announce(*b, announcement("QUORIX"));
    TForm1& w = *f->form;
    QCOMPARE(w.selectedIndex(), -1);
    QCOMPARE(fillOf(w, 0), white);
    QVERIFY(child<QLineEdit>(w, "e_w_ssid")->text().isEmpty());
    QVERIFY(!child<Switch>(w, "s_w_ap")->isChecked());
    QVERIFY(child<Switch>(w, "s_w_dhcp")->isChecked());
    QVERIFY(!child<Switch>(w, "s_eth_dhcp")->isChecked());
    QCOMPARE(child<QComboBox>(w, "cb_w_enc")->currentIndex(), 0);
    QCOMPARE(f->servers.at(1).w_ssid, edited); // blanking the panel touched no record

    f->clickRow(1);
    QCOMPARE(child<QLineEdit>(w, "e_w_ssid")->text(), QStringLiteral("Office-edited"));
}

void DeviceListTest::infoButton_opensPopoverForItsOwnRow()
{
    const auto a = f->device("127.0.0.3");
    const auto b = f->device("127.0.0.4");
    f->announce(*a, "im_QUORIX;QUORIX;TVX-7;2.4.1;1187;admin;no;;;;;;;;;;;;");
    f->announce(*b, "im_QUORIX;ROUTER;RTR-9;1.0;12;ops;no;;;;;;;;;;;;");
    f->clickRow(0);

    DeviceListView* view = child<DeviceListView>(*f->form, "list");
    const QRect button = view->infoButtonRect(view->model()->index(1, 0));
    QTest::mouseMove(view->viewport(), button.center());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, button.center());
    InfoPopover* popover = child<InfoPopover>(*f->form, "MultiView1");
    QTRY_VERIFY(popover->isVisible());
    QCOMPARE(f->form->infoIndex(), 1);
    QCOMPARE(popover->size(), QSize(208, 150));
    QCOMPARE(child<QLabel>(*popover, "label_info")->text(), QStringLiteral("Device info."));

    const QStringList labels = {"Model", "Indentifier", "Firmware ver.", "Build number", "User"};
    const QStringList values = {"ROUTER", "RTR-9", "1.0", "12", "ops"};
    QAbstractItemModel* grid = child<QTableView>(*popover, "grid_info")->model();
    for (int row = 0; row < 5; ++row) {
        QCOMPARE(grid->index(row, 0).data().toString(), labels[row]);
        QCOMPARE(grid->index(row, 1).data().toString(), values[row]);
    }
    popover->close();
}

void DeviceListTest::infoButton_doesNotSelectTheRow()
{
    const auto a = f->device("127.0.0.3");
    f->announce(*a, announcement("QUORIX"));
    DeviceListView* view = child<DeviceListView>(*f->form, "list");
    const QRect button = view->infoButtonRect(view->model()->index(0, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, button.center());
    QTRY_VERIFY(child<InfoPopover>(*f->form, "MultiView1")->isVisible());
    QCOMPARE(f->form->selectedIndex(), -1);
    QCOMPARE(fillOf(*f->form, 0), white);
    child<InfoPopover>(*f->form, "MultiView1")->close();
}

void DeviceListTest::infoButton_opensOnAClickNotOnAPress()
{
    const auto a = f->device("127.0.0.3");
    f->announce(*a, announcement("QUORIX"));
    ListGestures gestures(child<DeviceListView>(*f->form, "list"));
    InfoPopover* popover = child<InfoPopover>(*f->form, "MultiView1");

    gestures.press(Qt::LeftButton, gestures.infoButton(0));
    QTest::qWait(20);
    QVERIFY(!popover->isVisible());
    gestures.release(Qt::LeftButton, gestures.caption(0)); // released away from it: no click
    QTest::qWait(20);
    QVERIFY(!popover->isVisible());

    gestures.press(Qt::LeftButton, gestures.infoButton(0));
    gestures.release(Qt::LeftButton, gestures.infoButton(0));
    QTRY_VERIFY(popover->isVisible());
    QCOMPARE(f->form->selectedIndex(), -1);
    popover->close();
}

void DeviceListTest::clearList_forgetsDevicesAndPopoverShowsNothing()
{
    const auto a = f->device("127.0.0.3");
    const auto b = f->device("127.0.0.4");
    f->announce(*a, announcement("QUORIX"));
    f->announce(*b, announcement("QUORIX"));
    f->form->infoButtonMouseEnter(1);
    f->clickRow(1);

    child<QAction>(*f->form, "MenuItem1")->trigger();
    QCOMPARE(f->servers.count(), 0);
    QCOMPARE(f->form->listModel()->rowCount(), 0);
    QCOMPARE(f->form->selectedIndex(), -1);
    QVERIFY(child<QLineEdit>(*f->form, "e_w_ssid")->text().isEmpty());
    QCOMPARE(f->form->infoIndex(), 1); // kept, and no longer a position in the list
    QAbstractItemModel* grid = child<QTableView>(*f->form, "grid_info")->model();
    QCOMPARE(grid->index(0, 0).data().toString(), QStringLiteral("Model"));
    QCOMPARE(grid->index(0, 1).data().toString(), QString());

    f->announce(*b, announcement("QUORIX"));
    f->announce(*a, announcement("QUORIX"));
    QCOMPARE(captions(*f->form), (QStringList{"127.0.0.3 (QUORIX)", "127.0.0.4 (QUORIX)"}));
}

void DeviceListTest::rowsBeyondTheThousandth_findTheirOwnDevice()
{
    for (int i = 0; i < 1003; ++i) {
        const std::string ip = "10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256);
        f->servers.add_announcement(ip, "im_QUORIX;M" + std::to_string(i) + ";;;;;;;;;;;;;;;;;");
    }
    f->form->updateList();
    DeviceListView* view = child<DeviceListView>(*f->form, "list");
    const QModelIndex row1002 = view->model()->index(1002, 0);
    view->scrollTo(row1002);
    const QRect button = view->infoButtonRect(row1002);
    QTest::mouseMove(view->viewport(), button.center());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, button.center());
    QTRY_VERIFY(child<InfoPopover>(*f->form, "MultiView1")->isVisible());
    QCOMPARE(f->form->infoIndex(), 1002);
    QCOMPARE(child<QTableView>(*f->form, "grid_info")->model()->index(0, 1).data().toString(),
             QStringLiteral("M1002"));
    child<InfoPopover>(*f->form, "MultiView1")->close();
}

void DeviceListTest::dispatch_ignoresNoiseAndOversizeDatagrams()
{
    const auto a = f->device("127.0.0.3");
    a->sendTo("find_QUORIX", kToolAddress, f->port);
    a->sendTo("", kToolAddress, f->port);
    a->sendTo("IM_QUORIX;QUORIX;;;;;;;;;;;;;;;;;", kToolAddress, f->port);
    std::string huge = announcement("QUORIX");
    huge.resize(9000, ' ');
    a->sendTo(huge, kToolAddress, f->port);
    // The last datagram proves the earlier ones have been handled.
    const auto b = f->device("127.0.0.4");
    f->announce(*b, announcement("QUORIX"));
    QCOMPARE(captions(*f->form), QStringList{"127.0.0.4 (QUORIX)"});
}

QTEST_MAIN(DeviceListTest)
#include "tst_device_list.moc"
