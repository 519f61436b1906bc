#include "app/device_list_panel.h"

#include "app/device_filter_model.h"
#include "app/device_list_model.h"
#include "app/device_list_view.h"
#include "app/guarded.h"
#include "app/switch_widget.h"
#include "app/widget_factory.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

namespace nimbrel {

namespace {

constexpr int kPanel1Height = 51;
constexpr int kFilterHeight = 36;
constexpr int kLabel1RightGap = 619 - 317; // Label1 and Switch1 keep their distance to the edge
constexpr int kSwitch1RightGap = 619 - 549;

} // namespace

DeviceListPanel::DeviceListPanel(const DeviceRegistry& servers, QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("panel_list"));
    listModel_ = new DeviceListModel(servers, this);
    listFilter_ = new DeviceFilterModel(servers, this);
    listFilter_->setSourceModel(listModel_);

    createSearchBar();
    createRows();
    createFilterAndHint();
    describeControls();
    connectControls();
}

void DeviceListPanel::createSearchBar()
{
    Panel1 = make<QFrame>(this, "Panel1");
    button_refresh = make<QPushButton>(Panel1, "button_refresh", {8, 11, 204, 28});
    button_refresh->setText(QStringLiteral("Inmediate search"));
    Label1 = makeLabel(Panel1, "Label1", {317, 11, 224, 28}, "Refresh every 10 seconds",
                       Qt::AlignRight | Qt::AlignVCenter);
    Switch1 = makeSwitch(Panel1, "Switch1", {549, 11, 57, 28}, "Refresh every 10 seconds");
}

void DeviceListPanel::createRows()
{
    list = make<DeviceListView>(this, "list");
    list->setModel(listFilter_);
    list->setAccessibleName(QStringLiteral("Devices found"));
    list->setContextMenuPolicy(Qt::CustomContextMenu);
}

void DeviceListPanel::createFilterAndHint()
{
    // Both start hidden, so the window at start is as laid out.
    e_filter = makeEdit(this, "e_filter", {}, "Filter devices");
    e_filter->setPlaceholderText(QStringLiteral("Address, model, identifier or firmware"));
    e_filter->setClearButtonEnabled(true);
    e_filter->hide();
    l_no_answer = make<QLabel>(this, "l_no_answer");
    l_no_answer->setAccessibleName(QStringLiteral("Why no device answered"));
    l_no_answer->setWordWrap(true);
    l_no_answer->setAlignment(Qt::AlignCenter);
    l_no_answer->setMargin(24);
    l_no_answer->setStyleSheet(QStringLiteral("color: #555555; background: transparent;"));
    // The list under it keeps its clicks and its menu ("Clear list" on an empty list).
    l_no_answer->setAttribute(Qt::WA_TransparentForMouseEvents);
    l_no_answer->hide();
}

void DeviceListPanel::describeControls()
{
    describe({
        {button_refresh, nullptr, "Searches the network for devices now"},
        {Switch1, nullptr, "While on, the network is searched again every 10 seconds"},
        {list, nullptr,
         "Devices that answered the search. Select one to edit its settings; the button at the "
         "right end of a row shows its model, identifier, firmware, build and user"},
        {e_filter, nullptr,
         "Shows only the devices whose address, model, identifier or firmware contains this "
         "text. Escape clears it"},
        {l_no_answer, nullptr, "Why the search may have found no device"},
    });
    Label1->setBuddy(Switch1);
}

void DeviceListPanel::connectControls()
{
    connect(button_refresh, &QPushButton::clicked, this, [this] { Q_EMIT refreshClicked(); });
    connect(Switch1, &Switch::clicked, this,
            [this] { Q_EMIT autoRefreshSwitched(Switch1->isChecked()); });
    // The view speaks of its own rows; the panel's users of registry positions.
    connect(list, &DeviceListView::rowChosen, this,
            [this](const QModelIndex& item) { Q_EMIT rowChosen(listFilter_->recordRow(item)); });
    connect(list, &DeviceListView::infoButtonEntered, this,
            [this](int row) { Q_EMIT infoButtonEntered(listFilter_->recordRow(row)); });
    connect(list, &DeviceListView::infoButtonClicked, this, [this](int row, const QRect& anchor) {
        Q_EMIT infoButtonClicked(listFilter_->recordRow(row), anchor);
    });
    connect(list, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        Q_EMIT menuRequested(listFilter_->recordRow(list->indexAt(at)),
                             list->viewport()->mapToGlobal(at));
    });
    connect(e_filter, &QLineEdit::textChanged, this,
            [this](const QString& text) { runGuarded([&] { e_filterChange(text); }); });

    auto* find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this, [this] { runGuarded([this] { openFilter(); }); });
    auto* escape = new QShortcut(Qt::Key_Escape, e_filter);
    escape->setContext(Qt::WidgetShortcut);
    connect(escape, &QShortcut::activated, this, [this] { runGuarded([this] { closeFilter(); }); });
    // From the field down into the narrowed rows, as from a search field into its results.
    auto* down = new QShortcut(Qt::Key_Down, e_filter);
    down->setContext(Qt::WidgetShortcut);
    connect(down, &QShortcut::activated, this, [this] { list->setFocus(Qt::TabFocusReason); });
}

QShortcut* DeviceListPanel::listShortcut(const QKeySequence& keys)
{
    auto* shortcut = new QShortcut(keys, list);
    shortcut->setContext(Qt::WidgetShortcut);
    return shortcut;
}

void DeviceListPanel::rebuild()
{
    listModel_->rebuild();
}

void DeviceListPanel::recordChanged(int position)
{
    listModel_->recordChanged(position);
}

int DeviceListPanel::selectedIndex() const
{
    const QModelIndexList selected = list->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : listFilter_->recordRow(selected.first());
}

void DeviceListPanel::clearSelection()
{
    list->selectionModel()->clear();
}

void DeviceListPanel::highlightRow(int position)
{
    listModel_->setHighlightedRow(position);
}

void DeviceListPanel::showNoAnswerHint(const QString& text)
{
    l_no_answer->setText(text);
    l_no_answer->show();
}

void DeviceListPanel::hideNoAnswerHint()
{
    l_no_answer->hide();
}

void DeviceListPanel::openFilter()
{
    if (!e_filter->isVisible()) {
        e_filter->show();
        layOutContents();
    }
    e_filter->setFocus(Qt::ShortcutFocusReason);
    e_filter->selectAll();
}

void DeviceListPanel::closeFilter()
{
    e_filter->clear();
    e_filter->hide();
    layOutContents();
    list->setFocus(Qt::ShortcutFocusReason);
}

void DeviceListPanel::e_filterChange(const QString& text)
{
    const int before = selectedIndex();
    listFilter_->setNeedle(text);
    // The selected device filtered out of sight (the view may even have moved the selection to
    // a neighbour): nothing is selected, highlighted or in the settings, as after a rebuild.
    if (before >= 0 && selectedIndex() != before) {
        highlightRow(-1);
        Q_EMIT selectionFilteredOut();
    }
}

void DeviceListPanel::layOutContents()
{
    const int w = width();
    Panel1->setGeometry(0, 0, w, kPanel1Height);
    Label1->move(w - kLabel1RightGap, Label1->y());
    Switch1->move(w - kSwitch1RightGap, Switch1->y());
    // The filter field, while open, takes the top of the rows' place.
    const int filterHeight = e_filter->isVisible() ? kFilterHeight : 0;
    if (filterHeight > 0)
        e_filter->setGeometry(4, kPanel1Height + 4, std::max(0, w - 8), kFilterHeight - 8);
    list->setGeometry(0, kPanel1Height + filterHeight, w, height() - kPanel1Height - filterHeight);
    l_no_answer->setGeometry(list->geometry());
}

QList<QWidget*> DeviceListPanel::focusChain() const
{
    return {button_refresh, Switch1, e_filter, list};
}

} // namespace nimbrel
