// The window as a desktop shows it, run at 200% scaling: every part laid out inside its panel
// with its text fitting, the program's own icon, and what assistive technology reads.

#include "app/info_popover.h"
#include "form_fixture.h"

#include <QAccessible>
#include <QLabel>
#include <QSet>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

using namespace nimbrel;
using namespace nimbrel::testing;

class ScalingTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void runsAtTwiceTheScale();
    void partLiesInsideItsPanel_data();
    void partLiesInsideItsPanel();
    void textFits_data();
    void textFits();
    void tabTitlesFit();
    void windowIconIsOurs();
    void controlHasAccessibleNameAndDescription_data();
    void controlHasAccessibleNameAndDescription();
    void labelNamesItsControl_data();
    void labelNamesItsControl();
    void cleanupTestCase();

private:
    QWidget* part(const QString& name) const;

    std::unique_ptr<FormFixture> fixture_;
};

void ScalingTest::initTestCase()
{
    fixture_ = std::make_unique<FormFixture>();
    fixture_->form->show();
    QVERIFY(QTest::qWaitForWindowExposed(fixture_->form.get()));
}

void ScalingTest::cleanupTestCase()
{
    fixture_.reset();
}

QWidget* ScalingTest::part(const QString& name) const
{
    TForm1* form = fixture_->form.get();
    return name == form->objectName() ? form : form->findChild<QWidget*>(name);
}

void ScalingTest::runsAtTwiceTheScale()
{
    QCOMPARE(fixture_->form->devicePixelRatio(), 2.0);
    const QPixmap shot = fixture_->form->grab();
    QCOMPARE(shot.size(), fixture_->form->size() * 2);
}

void ScalingTest::partLiesInsideItsPanel_data()
{
    QTest::addColumn<QString>("partName");
    QTest::addColumn<QString>("panelName");
    QTest::addColumn<QString>("page"); // the settings tab to show first, or empty
    QTest::addRow("Send button in its panel") << "b_save"
                                              << "Panel2"
                                              << "";
    QTest::addRow("admin password in its panel") << "edit_admin_pass"
                                                 << "Panel2"
                                                 << "";
    QTest::addRow("note in its panel") << "Label2"
                                       << "Panel2"
                                       << "";
    QTest::addRow("note symbol in its panel") << "Image1"
                                              << "Panel2"
                                              << "";
    QTest::addRow("send panel in the window") << "Panel2"
                                              << "Form1"
                                              << "";
    QTest::addRow("search button in its panel") << "button_refresh"
                                                << "Panel1"
                                                << "";
    QTest::addRow("refresh switch in its panel") << "Switch1"
                                                 << "Panel1"
                                                 << "";
    QTest::addRow("refresh label in its panel") << "Label1"
                                                << "Panel1"
                                                << "";
    QTest::addRow("retrieve button in the settings") << "bt_net_refresh"
                                                     << "panel_config"
                                                     << "";
    QTest::addRow("settings in the window") << "panel_config"
                                            << "Form1"
                                            << "";
    QTest::addRow("last Wi-Fi edit on its page") << "e_w_gw"
                                                 << "TabWifi"
                                                 << "TabWifi";
    QTest::addRow("Wi-Fi DHCP switch on its page") << "s_w_dhcp"
                                                   << "TabWifi"
                                                   << "TabWifi";
    QTest::addRow("last Ethernet edit on its page") << "e_eth_gw"
                                                    << "TabEthernet"
                                                    << "TabEthernet";
}

void ScalingTest::partLiesInsideItsPanel()
{
    QFETCH(QString, partName);
    QFETCH(QString, panelName);
    QFETCH(QString, page);
    TForm1& form = *fixture_->form;
    if (!page.isEmpty())
        child<QTabWidget>(form, "TabControl1")->setCurrentWidget(part(page));
    QWidget* inner = part(partName);
    QWidget* panel = part(panelName);
    QVERIFY(inner && panel);
    const QRect placed(inner->mapTo(panel, QPoint(0, 0)), inner->size());
    QVERIFY2(panel->rect().contains(placed),
             qPrintable(QStringLiteral("%1 at %2,%3 %4x%5 outside %6x%7")
                            .arg(partName)
                            .arg(placed.x())
                            .arg(placed.y())
                            .arg(placed.width())
                            .arg(placed.height())
                            .arg(panel->width())
                            .arg(panel->height())));
    QVERIFY(inner->isVisibleTo(&form));
    child<QTabWidget>(form, "TabControl1")->setCurrentWidget(child<QWidget>(form, "TabWifi"));
}

void ScalingTest::textFits_data()
{
    QTest::addColumn<QString>("partName");
    for (const char* name : {"button_refresh", "b_save", "Label1", "label_top", "l_w_ap",
                             "l_w_ssid", "l_w_enc", "l_w_pass", "l_w_dhcp", "l_w_ip", "l_w_mask",
                             "l_w_gw", "l_eth_dhcp", "l_eth_ip", "l_eth_mask", "l_eth_gw"})
        QTest::addRow("%s", name) << QString::fromLatin1(name);
}

// A button or one-line label fits when its preferred width, text and margins, is no more than
// it has.
void ScalingTest::textFits()
{
    QFETCH(QString, partName);
    QWidget* widget = part(partName);
    QVERIFY(widget);
    QVERIFY2(widget->sizeHint().width() <= widget->width(),
             qPrintable(QStringLiteral("needs %1, has %2")
                            .arg(widget->sizeHint().width())
                            .arg(widget->width())));
}

void ScalingTest::tabTitlesFit()
{
    const QTabBar* bar = child<QTabWidget>(*fixture_->form, "TabControl1")->tabBar();
    for (int i = 0; i < bar->count(); ++i) {
        const int needed = bar->fontMetrics().horizontalAdvance(bar->tabText(i));
        QVERIFY2(needed < bar->tabRect(i).width(), qPrintable(bar->tabText(i)));
    }
    // The text of the note wraps within its height.
    const QLabel* note = child<QLabel>(*fixture_->form, "Label2");
    QVERIFY(note->heightForWidth(note->width()) <= note->height());
}

void ScalingTest::windowIconIsOurs()
{
    const QIcon icon = fixture_->form->windowIcon();
    QVERIFY(!icon.isNull());
    const QImage image = icon.pixmap(QSize(64, 64), 2.0).toImage();
    QCOMPARE(image.size(), QSize(128, 128));
    // The blue square at the left edge, the white device at the bottom middle.
    QCOMPARE(image.pixelColor(12, 64).name(), QStringLiteral("#003377"));
    QCOMPARE(image.pixelColor(64, 84).name(), QStringLiteral("#ffffff"));
}

// Every control the keyboard reaches, and the parts that inform, are named and described.
void ScalingTest::controlHasAccessibleNameAndDescription_data()
{
    QTest::addColumn<QWidget*>("control");
    TForm1* form = fixture_->form.get();
    // Ours are named, as are their parents; the parts Qt builds inside its widgets are not.
    const auto named = [](const QWidget* widget) {
        return widget && !widget->objectName().isEmpty() &&
               !widget->objectName().startsWith(QStringLiteral("qt_"));
    };
    QList<QWidget*> controls = form->findChildren<QWidget*>();
    controls.append({child<InfoPopover>(*form, "MultiView1"), child<QWidget>(*form, "TabWifi"),
                     child<QWidget>(*form, "TabEthernet"), child<QLabel>(*form, "Image1")});
    QSet<QWidget*> listed;
    for (QWidget* widget : controls) {
        const bool reachable = widget->focusPolicy() & Qt::TabFocus;
        const bool informs = widget == child<InfoPopover>(*form, "MultiView1") ||
                             widget == child<QWidget>(*form, "TabWifi") ||
                             widget == child<QWidget>(*form, "TabEthernet") ||
                             widget == child<QLabel>(*form, "Image1");
        const bool ours = named(widget) && named(widget->parentWidget());
        if ((informs || (ours && reachable)) && !listed.contains(widget)) {
            listed.insert(widget);
            QTest::addRow("%s", qPrintable(widget->objectName())) << widget;
        }
    }
    QVERIFY(listed.size() > 20);
}

void ScalingTest::controlHasAccessibleNameAndDescription()
{
    QFETCH(QWidget*, control);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    QVERIFY(accessible);
    QVERIFY(!accessible->text(QAccessible::Name).trimmed().isEmpty());
    QVERIFY(!accessible->text(QAccessible::Description).trimmed().isEmpty());
}

void ScalingTest::labelNamesItsControl_data()
{
    QTest::addColumn<QLabel*>("label");
    TForm1* form = fixture_->form.get();
    for (QWidget* area : {static_cast<QWidget*>(child<QFrame>(*form, "Panel1")),
                          child<QWidget>(*form, "TabWifi"), child<QWidget>(*form, "TabEthernet")})
        for (QLabel* label : area->findChildren<QLabel*>())
            QTest::addRow("%s", qPrintable(label->objectName())) << label;
}

// A screen reader announces the label's text with the control it names.
void ScalingTest::labelNamesItsControl()
{
    QFETCH(QLabel*, label);
    QWidget* control = label->buddy();
    QVERIFY(control);
    QCOMPARE(control->parentWidget(), label->parentWidget());
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    QVERIFY(accessible);
    bool labelled = false;
    for (const auto& [other, relation] : accessible->relations(QAccessible::Label))
        labelled = labelled || other->object() == label;
    QVERIFY(labelled);
}

QTEST_MAIN(ScalingTest)
#include "tst_scaling.moc"
