// The device list as the user sees it: devices announced over loopback appear in address order
// with their captions and colours, a click highlights a row and loads it, the information
// button opens the pop-over for its own row, and "Clear list" forgets everything.

#include "app/device_list_model.h"
#include "app/device_list_view.h"
#include "app/info_popover.h"
#include "app/switch_widget.h"
#include "form_fixture.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
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

} // namespace

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
    void newDevice_dropsSelectionBlanksPanelKeepsEdits();
    void infoButton_opensPopoverForItsOwnRow();
    void infoButton_doesNotSelectTheRow();
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
    f->form->e_w_ssid->setText(QStringLiteral("Edited"));
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
    const QImage shot = f->form->list->viewport()->grab().toImage();
    const QRect row1 = f->form->list->visualRect(f->form->listModel()->index(1));
    QCOMPARE(QColor(shot.pixel(row1.left() + 2, row1.center().y())), blueFill);
}

void DeviceListTest::click_loadsTheRowsSettings()
{
    const auto peer = f->device("127.0.0.3");
    f->announce(*peer, announcement("QUORIX", "no;Office;WEP;12345;no;10.0.0.9;255.0.0.0;10.0.0.1;"
                                              "no;192.168.5.2;255.255.255.0;192.168.5.1;"));
    f->clickRow(0);
    TForm1& w = *f->form;
    QCOMPARE(w.e_w_ssid->text(), QStringLiteral("Office"));
    QCOMPARE(w.cb_w_enc->currentIndex(), 1); // lower-cased on arrival
    QCOMPARE(w.e_w_ip->text(), QStringLiteral("10.0.0.9"));
    QCOMPARE(w.e_eth_ip->text(), QStringLiteral("192.168.5.2"));
    QVERIFY(w.e_w_ip->isEnabled());
}

void DeviceListTest::keyboard_movingTheSelectionLoadsThatDevice()
{
    const auto a = f->device("127.0.0.3");
    const auto b = f->device("127.0.0.4");
    f->announce(*a, announcement("QUORIX", "no;First;wpa;secret123;yes;;;;yes;;;;"));
    f->announce(*b, announcement("QUORIX", "no;Second;wpa;secret123;yes;;;;yes;;;;"));
    f->clickRow(0);
    QTest::keyClick(f->form->list, Qt::Key_Down);
    QCOMPARE(f->form->selectedIndex(), 1);
    // What the panel shows is always the selected device, so edits never land in another one.
    QCOMPARE(f->form->e_w_ssid->text(), QStringLiteral("Second"));
    QCOMPARE(fillOf(*f->form, 1), blueFill);
    f->form->e_w_ssid->setText(QStringLiteral("Renamed"));
    QCOMPARE(f->servers.at(0).w_ssid, std::string("First"));
    QCOMPARE(f->servers.at(1).w_ssid, std::string("Renamed"));
}

void DeviceListTest::newDevice_dropsSelectionBlanksPanelKeepsEdits()
{
    const auto a = f->device("127.0.0.4");
    f->announce(*a, announcement("QUORIX"));
    f->clickRow(0);
    QTest::keyClicks(f->form->e_w_ssid, QStringLiteral("-edited"));
    const std::string edited = f->servers.at(0).w_ssid;
    QCOMPARE(edited, std::string("Office-edited"));

    const auto b = f->device("127.0.0.3");
    f->announce(*b, announcement("QUORIX"));
    TForm1& w = *f->form;
    QCOMPARE(w.selectedIndex(), -1);
    QCOMPARE(fillOf(w, 0), white);
    QVERIFY(w.e_w_ssid->text().isEmpty());
    QVERIFY(!w.s_w_ap->isChecked());
    QVERIFY(w.s_w_dhcp->isChecked());
    QVERIFY(!w.s_eth_dhcp->isChecked());
    QCOMPARE(w.cb_w_enc->currentIndex(), 0);
    QCOMPARE(f->servers.at(1).w_ssid, edited); // blanking the panel touched no record

    f->clickRow(1);
    QCOMPARE(w.e_w_ssid->text(), QStringLiteral("Office-edited"));
}

void DeviceListTest::infoButton_opensPopoverForItsOwnRow()
{
    const auto a = f->device("127.0.0.3");
    const auto b = f->device("127.0.0.4");
    f->announce(*a, "im_QUORIX;QUORIX;TVX-7;2.4.1;1187;admin;no;;;;;;;;;;;;");
    f->announce(*b, "im_QUORIX;ROUTER;RTR-9;1.0;12;ops;no;;;;;;;;;;;;");
    f->clickRow(0);

    DeviceListView* view = f->form->list;
    const QRect button = view->infoButtonRect(view->model()->index(1, 0));
    QTest::mouseMove(view->viewport(), button.center());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, button.center());
    InfoPopover* popover = f->form->MultiView1;
    QTRY_VERIFY(popover->isVisible());
    QCOMPARE(f->form->infoIndex(), 1);
    QCOMPARE(popover->size(), QSize(208, 150));
    QCOMPARE(popover->label_info->text(), QStringLiteral("Device info."));

    const QStringList labels = {"Model", "Indentifier", "Firmware ver.", "Build number", "User"};
    const QStringList values = {"ROUTER", "RTR-9", "1.0", "12", "ops"};
    QAbstractItemModel* grid = popover->grid_info->model();
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
    DeviceListView* view = f->form->list;
    const QRect button = view->infoButtonRect(view->model()->index(0, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, button.center());
    QTRY_VERIFY(f->form->MultiView1->isVisible());
    QCOMPARE(f->form->selectedIndex(), -1);
    QCOMPARE(fillOf(*f->form, 0), white);
    f->form->MultiView1->close();
}

void DeviceListTest::clearList_forgetsDevicesAndPopoverShowsNothing()
{
    const auto a = f->device("127.0.0.3");
    const auto b = f->device("127.0.0.4");
    f->announce(*a, announcement("QUORIX"));
    f->announce(*b, announcement("QUORIX"));
    f->form->infoButtonMouseEnter(1);
    f->clickRow(1);

    f->form->MenuItem1->trigger();
    QCOMPARE(f->servers.count(), 0);
    QCOMPARE(f->form->listModel()->rowCount(), 0);
    QCOMPARE(f->form->selectedIndex(), -1);
    QVERIFY(f->form->e_w_ssid->text().isEmpty());
    QCOMPARE(f->form->infoIndex(), 1); // kept, and no longer a position in the list
    QAbstractItemModel* grid = f->form->MultiView1->grid_info->model();
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
    DeviceListView* view = f->form->list;
    const QModelIndex row1002 = view->model()->index(1002, 0);
    view->scrollTo(row1002);
    const QRect button = view->infoButtonRect(row1002);
    QTest::mouseMove(view->viewport(), button.center());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, button.center());
    QTRY_VERIFY(f->form->MultiView1->isVisible());
    QCOMPARE(f->form->infoIndex(), 1002);
    QCOMPARE(f->form->MultiView1->grid_info->model()->index(0, 1).data().toString(),
             QStringLiteral("M1002"));
    f->form->MultiView1->close();
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
