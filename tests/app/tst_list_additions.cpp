// The list's additions for sites with many devices, on the real window: the filter opened with
// Ctrl+F, the menu's copy and export commands, the mark of two devices on one address and the
// hint of an empty list. The list's own rules (click loads, new device blanks, "Clear list"
// empties, address order) are checked again on the filtered view.

#include "app/device_list_model.h"
#include "app/file_chooser.h"
#include "dialog_recorder.h"
#include "form_fixture.h"
#include "list_gestures.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace nimbrel;
using namespace nimbrel::testing;

namespace {

struct Listed {
    const char* address;
    const char* model;
    const char* identifier;
    const char* firmware;
    const char* ssid;
};

// Each device differs from the others in every searched field.
const Listed kDevices[] = {
    {"127.0.0.4", "QUORIX", "TVX-AAA1", "2.4.1", "Alpha"},
    {"127.0.0.5", "NOVA", "TVX-BBB2", "3.0.0", "Bravo"},
    {"127.0.0.6", "QUORIX-E", "TVX-CCC3", "2.5.9", "Charlie"},
};

std::string announcementOf(const Listed& d)
{
    return std::string("im_QUORIX;") + d.model + ";" + d.identifier + ";" + d.firmware +
           ";1187;admin;no;" + d.ssid + ";wpa;secret123;yes;;;;yes;10.0.0.2;255.0.0.0;10.0.0.1;";
}

void announceAll(FormFixture& f)
{
    for (const Listed& d : kDevices)
        f.announce(*f.device(d.address), announcementOf(d));
}

DeviceListView* listOf(const TForm1& form)
{
    return child<DeviceListView>(form, "list");
}

// What the view shows, row by row: the captions a user reads on the (possibly narrowed) list.
QStringList shownCaptions(const TForm1& form)
{
    QStringList all;
    const QAbstractItemModel* model = listOf(form)->model();
    for (int row = 0; row < model->rowCount(); ++row)
        all << model->index(row, 0).data().toString();
    return all;
}

QString captionOf(const Listed& d)
{
    return QStringLiteral("%1 (%2)").arg(QLatin1String(d.address), QLatin1String(d.model));
}

void typeFilter(TForm1& form, const QString& text)
{
    QTest::keyClick(listOf(form), Qt::Key_F, Qt::ControlModifier);
    auto* field = child<QLineEdit>(form, "e_filter");
    QTRY_VERIFY(field->isVisible());
    QTest::keyClicks(field, text);
}

// The selected row, the highlighted row and the device in the panel are one device.
void verifyOneDevice(const TForm1& form, int position)
{
    QCOMPARE(form.selectedIndex(), position);
    QCOMPARE(form.listModel()->highlightedRow(), position);
    const QString ssid = position < 0 ? QString() : QString::fromLatin1(kDevices[position].ssid);
    QCOMPARE(child<QLineEdit>(form, "e_w_ssid")->text(), ssid);
}

void chooseFromMenu(TForm1& form, QPoint at, const char* item)
{
    ListGestures gestures(listOf(form));
    QMenu* menu = gestures.rightClick(at);
    QVERIFY(menu != nullptr);
    QTRY_VERIFY(menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {},
                      menu->actionGeometry(child<QAction>(form, item)).center());
    QTRY_VERIFY(!menu->isVisible());
}

// RFC 4180 as a spreadsheet reads it, written here apart from the code that writes the file.
QList<QStringList> readCsv(const QString& text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += c;
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row << field;
            rows << row;
            row.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty())
        rows << (row << field);
    return rows;
}

// Answers the file chooser with a path for as long as it lives.
class ChosenPath {
public:
    explicit ChosenPath(QString path)
    {
        previous_ = setSaveFileHook([path](const QString&, const QString&) { return path; });
    }
    ~ChosenPath() { setSaveFileHook(previous_); }
    ChosenPath(const ChosenPath&) = delete;
    ChosenPath& operator=(const ChosenPath&) = delete;

private:
    SaveFileHook previous_;
};

} // namespace

class ListAdditionsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void atStart_filterAndHintHiddenListAsLaidOut();
    void filter_narrowsToMatchingFields_data();
    void filter_narrowsToMatchingFields();
    void filterEscape_clearsClosesAndGivesTheListItsPlaceBack();
    void typeAhead_stillSelectsByCaption();
    void downInFilter_movesToTheNarrowedRows();
    void filteredClick_loadsThatDevice();
    void filterHidingSelection_dropsSelectionAndBlanksPanel();
    void filterKeepingSelection_keepsItOnOneDevice();
    void filteredNewDevice_dropsSelectionBlanksPanelInAddressOrder();
    void filteredInfoButton_showsThatDevice();
    void filteredClearList_emptiesEverything();
    void menu_keepsClearListFirstAndShowsShortcuts();
    void menuBelowTheRows_offersNoCopyButExport();
    void menuCopyAddress_copiesTheRowUnderThePointer();
    void menuCopyDetails_copiesOneTabSeparatedLine();
    void keyboardCopy_copiesTheSelectedRow();
    void export_writesEveryDeviceWithoutPassword();
    void exportFailure_showsErrorAndLeavesNoFile();
    void secondIdentifierOnAddress_marksRowKeepsRecordAndSelection();
    void repeatedAnnouncement_rebuildsNothing();
    void clearList_clearsTheMarks();
    void unansweredSearch_showsHintThenFirstDeviceHidesIt();
    void unansweredTimerSearches_showHint();
    void answeredSearch_showsNoHint();

private:
    std::unique_ptr<FormFixture> f;
};

void ListAdditionsTest::init()
{
    f = std::make_unique<FormFixture>();
    new QAbstractItemModelTester(listOf(*f->form)->model(),
                                 QAbstractItemModelTester::FailureReportingMode::QtTest,
                                 f->form.get());
    f->form->show();
    f->form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f->form.get()));
}

void ListAdditionsTest::cleanup()
{
    f->form->close();
    f.reset();
}

void ListAdditionsTest::atStart_filterAndHintHiddenListAsLaidOut()
{
    TForm1& w = *f->form;
    QVERIFY(!child<QLineEdit>(w, "e_filter")->isVisible());
    QVERIFY(!child<QLabel>(w, "l_no_answer")->isVisible());
    // The list fills its region below the search band, as laid out.
    QCOMPARE(listOf(w)->geometry(), QRect(0, 51, 989 - 370, 607 - 49 - 51));
    QCOMPARE(child<QLineEdit>(w, "e_filter")->accessibleName(), QStringLiteral("Filter devices"));
    QCOMPARE(child<QLabel>(w, "l_no_answer")->accessibleName(),
             QStringLiteral("Why no device answered"));
}

void ListAdditionsTest::filter_narrowsToMatchingFields_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("shown");
    const QString a = captionOf(kDevices[0]), b = captionOf(kDevices[1]),
                  c = captionOf(kDevices[2]);
    QTest::addRow("by address") << "0.0.5" << QStringList{b};
    QTest::addRow("by model, any case") << "quorix" << QStringList{a, c};
    QTest::addRow("by identifier") << "CCC" << QStringList{c};
    QTest::addRow("by firmware") << "3.0" << QStringList{b};
    QTest::addRow("common to all") << "127.0" << QStringList{a, b, c};
    QTest::addRow("SSID is not searched") << "Bravo" << QStringList{};
    QTest::addRow("nothing matches") << "zz" << QStringList{};
}

void ListAdditionsTest::filter_narrowsToMatchingFields()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, shown);
    announceAll(*f);
    typeFilter(*f->form, typed);
    QCOMPARE(shownCaptions(*f->form), shown);
    // The registry still holds every device.
    QCOMPARE(f->servers.count(), 3);
}

void ListAdditionsTest::filterEscape_clearsClosesAndGivesTheListItsPlaceBack()
{
    announceAll(*f);
    TForm1& w = *f->form;
    const QRect laidOut = listOf(w)->geometry();
    typeFilter(w, QStringLiteral("NOVA"));
    auto* field = child<QLineEdit>(w, "e_filter");
    QVERIFY(field->hasFocus());
    QVERIFY(listOf(w)->geometry().top() >= field->geometry().bottom());
    QCOMPARE(shownCaptions(w).size(), 1);
    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(!field->isVisible());
    QVERIFY(field->text().isEmpty());
    QCOMPARE(listOf(w)->geometry(), laidOut);
    QCOMPARE(shownCaptions(w).size(), 3);
    QVERIFY(listOf(w)->hasFocus());
}

void ListAdditionsTest::typeAhead_stillSelectsByCaption()
{
    announceAll(*f);
    listOf(*f->form)->setFocus();
    ListGestures(listOf(*f->form)).type(QStringLiteral("127.0.0.6"));
    verifyOneDevice(*f->form, 2);
}

void ListAdditionsTest::downInFilter_movesToTheNarrowedRows()
{
    announceAll(*f);
    typeFilter(*f->form, QStringLiteral("CCC"));
    QTest::keyClick(child<QLineEdit>(*f->form, "e_filter"), Qt::Key_Down);
    QVERIFY(listOf(*f->form)->hasFocus());
    // The filter stays open, and the first arrow in the list selects its one row.
    QVERIFY(child<QLineEdit>(*f->form, "e_filter")->isVisible());
    QTest::keyClick(listOf(*f->form), Qt::Key_Down);
    verifyOneDevice(*f->form, 2);
}

void ListAdditionsTest::filteredClick_loadsThatDevice()
{
    announceAll(*f);
    typeFilter(*f->form, QStringLiteral("QUORIX"));
    // View row 1 is the third device.
    f->clickRow(1);
    verifyOneDevice(*f->form, 2);
    f->clickRow(0);
    verifyOneDevice(*f->form, 0);
}

void ListAdditionsTest::filterHidingSelection_dropsSelectionAndBlanksPanel()
{
    announceAll(*f);
    f->clickRow(1);
    verifyOneDevice(*f->form, 1);
    typeFilter(*f->form, QStringLiteral("QUORIX"));
    verifyOneDevice(*f->form, -1);
    // Nothing highlighted in the view either.
    for (int row = 0; row < 2; ++row)
        QVERIFY(listOf(*f->form)->model()->index(row, 0).data(Qt::BackgroundRole) !=
                QVariant(DeviceListModel::kHighlightFill));
}

void ListAdditionsTest::filterKeepingSelection_keepsItOnOneDevice()
{
    announceAll(*f);
    f->clickRow(2);
    typeFilter(*f->form, QStringLiteral("CCC"));
    verifyOneDevice(*f->form, 2);
    QCOMPARE(listOf(*f->form)->model()->index(0, 0).data(Qt::BackgroundRole),
             QVariant(DeviceListModel::kHighlightFill));
}

void ListAdditionsTest::filteredNewDevice_dropsSelectionBlanksPanelInAddressOrder()
{
    announceAll(*f);
    typeFilter(*f->form, QStringLiteral("QUORIX"));
    f->clickRow(1);
    verifyOneDevice(*f->form, 2);
    const Listed lower{"127.0.0.3", "QUORIX", "TVX-DDD4", "2.4.1", "Delta"};
    const Listed higher{"127.0.0.9", "QUORIX", "TVX-EEE5", "2.4.1", "Echo"};
    f->announce(*f->device(higher.address), announcementOf(higher));
    f->announce(*f->device(lower.address), announcementOf(lower));
    QCOMPARE(f->form->selectedIndex(), -1);
    QCOMPARE(f->form->listModel()->highlightedRow(), -1);
    QVERIFY(child<QLineEdit>(*f->form, "e_w_ssid")->text().isEmpty());
    QCOMPARE(shownCaptions(*f->form), (QStringList{captionOf(lower), captionOf(kDevices[0]),
                                                   captionOf(kDevices[2]), captionOf(higher)}));
}

void ListAdditionsTest::filteredInfoButton_showsThatDevice()
{
    announceAll(*f);
    typeFilter(*f->form, QStringLiteral("3.0"));
    f->user().openPopover(0);
    QCOMPARE(f->form->infoIndex(), 1);
    auto* grid = child<QTableView>(*f->form, "grid_info");
    QTRY_COMPARE(grid->model()->index(1, 1).data().toString(), QStringLiteral("TVX-BBB2"));
    QCOMPARE(f->form->selectedIndex(), -1);
}

void ListAdditionsTest::filteredClearList_emptiesEverything()
{
    announceAll(*f);
    typeFilter(*f->form, QStringLiteral("QUORIX"));
    f->clickRow(0);
    f->user().clearList();
    QCOMPARE(f->servers.count(), 0);
    QVERIFY(shownCaptions(*f->form).isEmpty());
    verifyOneDevice(*f->form, -1);
}

void ListAdditionsTest::menu_keepsClearListFirstAndShowsShortcuts()
{
    auto* menu = child<QMenu>(*f->form, "PopupMenu1");
    QStringList texts;
    QStringList keys;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator())
            continue;
        texts << action->text();
        keys << action->shortcut().toString();
        QVERIFY(!action->text().isEmpty()); // its text is its accessible name
    }
    QCOMPARE(texts, (QStringList{"Clear list", "Copy address", "Copy device details",
                                 "Export list...", "Configure Wi-Fi on several devices..."}));
    QCOMPARE(keys, (QStringList{"", "Ctrl+C", "Ctrl+Shift+C", "Ctrl+E", ""}));
}

void ListAdditionsTest::menuBelowTheRows_offersNoCopyButExport()
{
    announceAll(*f);
    ListGestures gestures(listOf(*f->form));
    QMenu* menu = gestures.rightClick(gestures.emptyPart());
    QVERIFY(menu != nullptr);
    QVERIFY(!child<QAction>(*f->form, "MenuItem2")->isEnabled());
    QVERIFY(!child<QAction>(*f->form, "MenuItem3")->isEnabled());
    QVERIFY(child<QAction>(*f->form, "MenuItem4")->isEnabled());
    QTest::keyClick(menu, Qt::Key_Escape);
    QTRY_VERIFY(!menu->isVisible());
    // On a row they are offered again.
    menu = gestures.rightClick(gestures.caption(0));
    QVERIFY(menu != nullptr);
    QVERIFY(child<QAction>(*f->form, "MenuItem2")->isEnabled());
    QTest::keyClick(menu, Qt::Key_Escape);
    QTRY_VERIFY(!menu->isVisible());
}

void ListAdditionsTest::menuCopyAddress_copiesTheRowUnderThePointer()
{
    announceAll(*f);
    f->clickRow(0);
    QGuiApplication::clipboard()->clear();
    ListGestures gestures(listOf(*f->form));
    chooseFromMenu(*f->form, gestures.caption(1), "MenuItem2");
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("127.0.0.5"));
    // The menu selects nothing.
    verifyOneDevice(*f->form, 0);
}

void ListAdditionsTest::menuCopyDetails_copiesOneTabSeparatedLine()
{
    announceAll(*f);
    typeFilter(*f->form, QStringLiteral("CCC"));
    ListGestures gestures(listOf(*f->form));
    chooseFromMenu(*f->form, gestures.caption(0), "MenuItem3");
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("127.0.0.6\tQUORIX-E\tTVX-CCC3\t2.5.9\t1187\tadmin"));
}

void ListAdditionsTest::keyboardCopy_copiesTheSelectedRow()
{
    announceAll(*f);
    f->clickRow(2);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(listOf(*f->form), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("127.0.0.6"));
    QTest::keyClick(listOf(*f->form), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("127.0.0.6\tQUORIX-E\tTVX-CCC3\t2.5.9\t1187\tadmin"));
}

void ListAdditionsTest::export_writesEveryDeviceWithoutPassword()
{
    announceAll(*f);
    // A Latin-1 SSID with a comma: converted to UTF-8 and quoted on the way out.
    const Listed cafe{"127.0.0.8", "QUORIX", "TVX-FFF6", "2.4.1", "Caf\xE9, 2"};
    f->announce(*f->device(cafe.address), announcementOf(cafe));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("site.csv"));
    ChosenPath chosen(path);
    DialogRecorder dialogs;
    typeFilter(*f->form, QStringLiteral("NOVA")); // the filter narrows the view, not the export
    chooseFromMenu(*f->form, ListGestures(listOf(*f->form)).emptyPart(), "MenuItem4");
    QVERIFY(dialogs.shown.isEmpty());

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(!bytes.contains("secret123"));
    const QList<QStringList> rows = readCsv(QString::fromUtf8(bytes));
    QCOMPARE(rows.size(), 5);
    QCOMPARE(rows[0], (QStringList{"address", "model", "identifier", "firmware", "build", "user",
                                   "access point", "SSID", "encryption", "Wi-Fi DHCP",
                                   "Wi-Fi address", "Wi-Fi mask", "Wi-Fi gateway", "Ethernet DHCP",
                                   "Ethernet address", "Ethernet mask", "Ethernet gateway"}));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(rows[i + 1],
                 (QStringList{kDevices[i].address, kDevices[i].model, kDevices[i].identifier,
                              kDevices[i].firmware, "1187", "admin", "no", kDevices[i].ssid, "wpa",
                              "yes", "", "", "", "yes", "10.0.0.2", "255.0.0.0", "10.0.0.1"}));
    QCOMPARE(rows[4][7], QStringLiteral(u"Caf\u00E9, 2"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"site.csv"});
}

void ListAdditionsTest::exportFailure_showsErrorAndLeavesNoFile()
{
    announceAll(*f);
    QTemporaryDir dir;
    // A folder that cannot exist: its parent is a regular file (permissions do not stop root).
    const QString notAFolder = dir.filePath(QStringLiteral("plain-file"));
    QFile blocker(notAFolder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString path = notAFolder + QStringLiteral("/site.csv");
    ChosenPath chosen(path);
    DialogRecorder dialogs;
    QTest::keyClick(listOf(*f->form), Qt::Key_E, Qt::ControlModifier);
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown[0].kind, DialogKind::Error);
    QVERIFY2(dialogs.shown[0].text.startsWith(
                 QStringLiteral("Could not export the list to %1: ").arg(path)),
             qPrintable(dialogs.shown[0].text));
    // The platform's reason follows the colon.
    QVERIFY(dialogs.shown[0].text.size() >
            QStringLiteral("Could not export the list to : ").size() + path.size());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"plain-file"});
    QCOMPARE(QFileInfo(notAFolder).size(), 0);
}

void ListAdditionsTest::secondIdentifierOnAddress_marksRowKeepsRecordAndSelection()
{
    announceAll(*f);
    f->clickRow(1);
    const auto peer = f->device("127.0.0.5");
    Listed intruder = kDevices[1];
    intruder.identifier = "TVX-ZZZ9";
    intruder.ssid = "Intruder";
    peer->sendTo(announcementOf(intruder), kToolAddress, f->port);

    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(listOf(*f->form));
    QVERIFY(list != nullptr);
    const QString warning =
        QStringLiteral("Another device (identifier TVX-ZZZ9) also answers from this address");
    QTRY_COMPARE(list->child(1)->text(QAccessible::Description), warning);
    QCOMPARE(listOf(*f->form)->model()->index(1, 0).data(Qt::ToolTipRole).toString(), warning);
    QVERIFY(list->child(0)->text(QAccessible::Description).isEmpty());
    QVERIFY(list->child(2)->text(QAccessible::Description).isEmpty());
    // First answer wins; the selection and the panel stay on it.
    QCOMPARE(f->servers.at(1).identifier, std::string("TVX-BBB2"));
    QCOMPARE(f->servers.count(), 3);
    verifyOneDevice(*f->form, 1);
}

void ListAdditionsTest::repeatedAnnouncement_rebuildsNothing()
{
    announceAll(*f);
    f->clickRow(0);
    QSignalSpy resets(f->form->listModel(), &QAbstractItemModel::modelReset);
    QSignalSpy changes(f->form->listModel(), &QAbstractItemModel::dataChanged);
    f->device(kDevices[0].address)->sendTo(announcementOf(kDevices[0]), kToolAddress, f->port);
    // Datagrams are handled in order: once the next device is listed the repeat was handled.
    const Listed next{"127.0.0.9", "QUORIX", "TVX-EEE5", "2.4.1", "Echo"};
    f->announce(*f->device(next.address), announcementOf(next));
    QCOMPARE(resets.size(), 1); // the new device's rebuild only
    QCOMPARE(changes.size(), 0);
}

void ListAdditionsTest::clearList_clearsTheMarks()
{
    announceAll(*f);
    Listed intruder = kDevices[0];
    intruder.identifier = "TVX-ZZZ9";
    f->device(intruder.address)->sendTo(announcementOf(intruder), kToolAddress, f->port);
    QTRY_VERIFY(!f->servers.at(0).other_identifier.empty());
    f->user().clearList();
    f->announce(*f->device(kDevices[0].address), announcementOf(kDevices[0]));
    QVERIFY(listOf(*f->form)->model()->index(0, 0).data(Qt::ToolTipRole).isNull());
    QVERIFY(!listOf(*f->form)->model()->index(0, 0).data(DeviceListModel::ConflictRole).toBool());
}

void ListAdditionsTest::unansweredSearch_showsHintThenFirstDeviceHidesIt()
{
    FormFixture g(60000, 1, 200);
    g.form->show();
    auto* hint = child<QLabel>(*g.form, "l_no_answer");
    g.user().search();
    QVERIFY(g.broadcasts.receive().has_value());
    QVERIFY(!hint->isVisible()); // not before its time
    QTRY_VERIFY(hint->isVisible());
    QVERIFY(hint->text().contains(QStringLiteral("UDP port 12340")));
    QVERIFY(hint->text().contains(QStringLiteral("network segment")));
    // In the tests the search goes to the capture address rather than out on interfaces.
    QVERIFY(hint->text().contains(QLatin1String(kBroadcastCapture)));
    g.announce(*g.device(kDevices[0].address), announcementOf(kDevices[0]));
    QVERIFY(!hint->isVisible());
    g.form->close();
}

void ListAdditionsTest::unansweredTimerSearches_showHint()
{
    // Searches every 50 ms: each one must not start the wait anew.
    FormFixture g(50, 1, 300);
    g.form->show();
    auto* hint = child<QLabel>(*g.form, "l_no_answer");
    QTRY_VERIFY_WITH_TIMEOUT(hint->isVisible(), 3000);
    g.form->close();
}

void ListAdditionsTest::answeredSearch_showsNoHint()
{
    FormFixture g(60000, 1, 100);
    g.form->show();
    g.user().search();
    g.announce(*g.device(kDevices[0].address), announcementOf(kDevices[0]));
    QTest::qWait(300);
    QVERIFY(!child<QLabel>(*g.form, "l_no_answer")->isVisible());
    // After "Clear list" an unanswered search explains the empty list again.
    g.user().clearList();
    g.user().search();
    QTRY_VERIFY(child<QLabel>(*g.form, "l_no_answer")->isVisible());
    g.form->close();
}

QTEST_MAIN(ListAdditionsTest)
#include "tst_list_additions.moc"
