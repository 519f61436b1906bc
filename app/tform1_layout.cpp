// Construction of the main window: the title band, the device list, the settings panel, the
// pop-over and the list's menu, with their names, texts and places. Places are fixed; on resize
// only the list grows.

#include "app/device_list_panel.h"
#include "app/info_popover.h"
#include "app/settings_panel.h"
#include "app/tform1.h"
#include "app/widget_factory.h"

#include <QAction>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTimer>

#include <utility>

namespace nimbrel {

namespace {

constexpr int kClientWidth = 989;
constexpr int kClientHeight = 607;
constexpr int kTitleHeight = 49;
constexpr int kConfigWidth = 370;

} // namespace

TForm1::TForm1(DeviceRegistry& registry, Options options, QWidget* parent)
    : QWidget(parent), servers(registry), options_(std::move(options))
{
    setObjectName(QStringLiteral("Form1"));
    resize(kClientWidth, kClientHeight);

    createTitleBand();
    panel_list = new DeviceListPanel(servers, this);
    createListMenu();
    panel_config = new SettingsPanel(this);
    createPopover();

    timer_refresh = new QTimer(this);
    timer_refresh->setObjectName(QStringLiteral("timer_refresh"));
    timer_refresh->setInterval(options_.refreshIntervalMs);
    timer_no_answer = new QTimer(this);
    timer_no_answer->setObjectName(QStringLiteral("timer_no_answer"));
    timer_no_answer->setSingleShot(true);
    timer_no_answer->setInterval(options_.noAnswerHintMs);

    server = new UdpEndpoint(options_.endpoint, this);
    server->setObjectName(QStringLiteral("server"));
    createRollout();

    connectHandlers();
    setTabOrder();
    layoutRegions();

    setWindowTitle(QStringLiteral("Talvonex Nimbrel (v2.1)"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/nimbrel.svg")));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    timer_refresh->start();
}

void TForm1::createTitleBand()
{
    panel_top = make<QFrame>(this, "panel_top");
    panel_top->setStyleSheet(QStringLiteral(
        "QFrame#panel_top { background-color: #003377; border: 1px solid #CCCCCC; }"));
    label_top = makeLabel(panel_top, "label_top", {}, "Web Server Network Search", Qt::AlignCenter);
    label_top->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    label_top->installEventFilter(this);
}

void TForm1::createListMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    MenuItem1 = PopupMenu1->addAction(QStringLiteral("Clear list"));
    MenuItem1->setObjectName(QStringLiteral("MenuItem1"));
    PopupMenu1->addSeparator();
    const auto addItem = [this](const char* name, const char* text, QKeySequence keys) {
        QAction* item = PopupMenu1->addAction(QString::fromLatin1(text));
        item->setObjectName(QString::fromLatin1(name));
        // Shown in the menu; the keys themselves act through the window's shortcuts, on the
        // selected row rather than the one under the pointer.
        item->setShortcut(keys);
        item->setShortcutContext(Qt::WidgetShortcut);
        return item;
    };
    MenuItem2 = addItem("MenuItem2", "Copy address", QKeySequence::Copy);
    MenuItem3 =
        addItem("MenuItem3", "Copy device details", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    MenuItem4 = addItem("MenuItem4", "Export list...", QKeySequence(Qt::CTRL | Qt::Key_E));
    PopupMenu1->addSeparator();
    MenuItem5 = PopupMenu1->addAction(QStringLiteral("Configure Wi-Fi on several devices..."));
    MenuItem5->setObjectName(QStringLiteral("MenuItem5"));
}

void TForm1::createPopover()
{
    MultiView1 = new InfoPopover(
        [this](int column, int row) { return grid_infoGetValue(column, row); }, this);
    describe(
        {{MultiView1, "Device information", "Details of the device whose button was pressed"}});
}

void TForm1::setTabOrder()
{
    // The keyboard walks the list first, then the settings from top to bottom.
    const QList<QWidget*> chain = panel_list->focusChain() + panel_config->focusChain();
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutRegions();
}

void TForm1::layoutRegions()
{
    const int w = width();
    const int below = height() - kTitleHeight;
    panel_top->setGeometry(0, 0, w, kTitleHeight);
    label_top->setGeometry(0, 0, w, kTitleHeight);

    const int listWidth = std::max(0, w - kConfigWidth);
    panel_list->setGeometry(0, kTitleHeight, listWidth, below);
    panel_list->layOutContents();

    panel_config->setGeometry(listWidth, kTitleHeight, kConfigWidth, below);
    panel_config->layOutContents();
}

} // namespace nimbrel
