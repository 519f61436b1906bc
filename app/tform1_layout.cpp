// Construction of the main window: the title band, the device list, the settings panel and the
// pop-over, with their names, texts and places. Places are fixed; on resize only the list grows.

#include "app/device_filter_model.h"
#include "app/device_list_model.h"
#include "app/device_list_view.h"
#include "app/info_popover.h"
#include "app/settings_panel.h"
#include "app/switch_widget.h"
#include "app/tform1.h"
#include "app/widget_factory.h"

#include <QAction>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <utility>

namespace nimbrel {

namespace {

constexpr int kClientWidth = 989;
constexpr int kClientHeight = 607;
constexpr int kTitleHeight = 49;
constexpr int kConfigWidth = 370;
constexpr int kPanel1Height = 51;
constexpr int kFilterHeight = 36;
constexpr int kLabel1RightGap = 619 - 317; // Label1 and Switch1 keep their distance to the edge
constexpr int kSwitch1RightGap = 619 - 549;

} // namespace

TForm1::TForm1(DeviceRegistry& registry, Options options, QWidget* parent)
    : QWidget(parent), servers(registry), options_(std::move(options))
{
    setObjectName(QStringLiteral("Form1"));
    resize(kClientWidth, kClientHeight);
    listModel_ = new DeviceListModel(servers, this);
    listFilter_ = new DeviceFilterModel(servers, this);
    listFilter_->setSourceModel(listModel_);

    createTitleBand();
    createDeviceList();
    panel_config = new SettingsPanel(this);
    createPopover();
    describeControls();

    timer_refresh = new QTimer(this);
    timer_refresh->setObjectName(QStringLiteral("timer_refresh"));
    timer_refresh->setInterval(options_.refreshIntervalMs);
    timer_no_answer = new QTimer(this);
    timer_no_answer->setObjectName(QStringLiteral("timer_no_answer"));
    timer_no_answer->setSingleShot(true);
    timer_no_answer->setInterval(options_.noAnswerHintMs);

    server = new UdpEndpoint(options_.endpoint, this);
    server->setObjectName(QStringLiteral("server"));

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

void TForm1::createDeviceList()
{
    panel_list = make<QFrame>(this, "panel_list");
    Panel1 = make<QFrame>(panel_list, "Panel1");
    button_refresh = make<QPushButton>(Panel1, "button_refresh", {8, 11, 204, 28});
    button_refresh->setText(QStringLiteral("Inmediate search"));
    Label1 = makeLabel(Panel1, "Label1", {317, 11, 224, 28}, "Refresh every 10 seconds",
                       Qt::AlignRight | Qt::AlignVCenter);
    Switch1 = makeSwitch(Panel1, "Switch1", {549, 11, 57, 28}, "Refresh every 10 seconds");

    list = make<DeviceListView>(panel_list, "list");
    list->setModel(listFilter_);
    list->setAccessibleName(QStringLiteral("Devices found"));
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    createListMenu();

    // Both start hidden, so the window at start is as laid out.
    e_filter = makeEdit(panel_list, "e_filter", {}, "Filter devices");
    e_filter->setPlaceholderText(QStringLiteral("Address, model, identifier or firmware"));
    e_filter->setClearButtonEnabled(true);
    e_filter->hide();
    l_no_answer = make<QLabel>(panel_list, "l_no_answer");
    l_no_answer->setAccessibleName(QStringLiteral("Why no device answered"));
    l_no_answer->setWordWrap(true);
    l_no_answer->setAlignment(Qt::AlignCenter);
    l_no_answer->setMargin(24);
    l_no_answer->setStyleSheet(QStringLiteral("color: #555555; background: transparent;"));
    // The list under it keeps its clicks and its menu ("Clear list" on an empty list).
    l_no_answer->setAttribute(Qt::WA_TransparentForMouseEvents);
    l_no_answer->hide();
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
}

void TForm1::createPopover()
{
    MultiView1 = new InfoPopover(
        [this](int column, int row) { return grid_infoGetValue(column, row); }, this);
}

void TForm1::describeControls()
{
    describe({
        {button_refresh, nullptr, "Searches the network for devices now"},
        {Switch1, nullptr, "While on, the network is searched again every 10 seconds"},
        {list, nullptr,
         "Devices that answered the search. Select one to edit its settings; the button at the "
         "right end of a row shows its model, identifier, firmware, build and user"},
        {MultiView1, "Device information", "Details of the device whose button was pressed"},
        {e_filter, nullptr,
         "Shows only the devices whose address, model, identifier or firmware contains this "
         "text. Escape clears it"},
        {l_no_answer, nullptr, "Why the search may have found no device"},
    });
    Label1->setBuddy(Switch1);
}

void TForm1::setTabOrder()
{
    // The keyboard walks the list first, then the settings from top to bottom.
    const QList<QWidget*> chain =
        QList<QWidget*>{button_refresh, Switch1, e_filter, list} + panel_config->focusChain();
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
    Panel1->setGeometry(0, 0, listWidth, kPanel1Height);
    Label1->move(listWidth - kLabel1RightGap, Label1->y());
    Switch1->move(listWidth - kSwitch1RightGap, Switch1->y());
    // The filter field, while open, takes the top of the list's place.
    const int filterHeight = e_filter->isVisible() ? kFilterHeight : 0;
    if (filterHeight > 0)
        e_filter->setGeometry(4, kPanel1Height + 4, std::max(0, listWidth - 8), kFilterHeight - 8);
    list->setGeometry(0, kPanel1Height + filterHeight, listWidth,
                      below - kPanel1Height - filterHeight);
    l_no_answer->setGeometry(list->geometry());

    panel_config->setGeometry(listWidth, kTitleHeight, kConfigWidth, below);
    panel_config->layOutContents();
}

} // namespace nimbrel
