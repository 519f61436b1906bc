// Start-up, the periodic search, the expert unlock, the dispatch of received datagrams, the
// device list and its information pop-over.

#include "app/tform1.h"

#include "app/device_filter_model.h"
#include "app/device_list_model.h"
#include "app/device_list_view.h"
#include "app/file_chooser.h"
#include "app/guarded.h"
#include "app/info_popover.h"
#include "app/message_dialog.h"
#include "app/search_interfaces.h"
#include "app/settings_panel.h"
#include "app/switch_widget.h"
#include "app/text_conversion.h"
#include "devices/device_export.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QTimer>

namespace nimbrel {

namespace {

constexpr int kPopoverWidth = 208;
constexpr int kPopoverHeight = 150;

// Connects a widget's signal to a handler run through the shared error guard.
template <typename Sender, typename Signal, typename Handler>
void connectGuarded(Sender* sender, Signal signal, TForm1* form, Handler handler)
{
    QObject::connect(sender, signal, form, [form, handler](auto&&...) {
        runGuarded([form, handler] { (form->*handler)(); });
    });
}

} // namespace

TForm1::~TForm1()
{
    // No datagram may reach the window once its widgets start to go.
    server->stop();
}

void TForm1::connectHandlers()
{
    server->setHandler([this](const Datagram& datagram) {
        runGuarded([&] { serverUDPRead(datagram); }, EscapedError::Drop);
    });
    connectGuarded(button_refresh, &QPushButton::clicked, this, &TForm1::button_refreshClick);
    connectGuarded(panel_config, &SettingsPanel::retrieveClicked, this,
                   &TForm1::bt_net_refreshClick);
    connectGuarded(timer_refresh, &QTimer::timeout, this, &TForm1::timer_refreshTimer);
    connectGuarded(Switch1, &Switch::clicked, this, &TForm1::Switch1Switch);
    connectGuarded(MultiView1, &InfoPopover::startShowing, this, &TForm1::MultiView1StartShowing);
    connectGuarded(panel_config, &SettingsPanel::sendClicked, this, &TForm1::b_saveClick);
    connect(panel_config, &SettingsPanel::fieldEdited, this,
            [this](SettingsPanel::Field field, const std::string& value) {
                runGuarded([&] { settingEdited(field, value); });
            });
    connect(panel_config, &SettingsPanel::switchClicked, this,
            [this](SettingsPanel::Field field, const std::string& value) {
                runGuarded([&] { settingSwitched(field, value); });
            });
    connectGuarded(MenuItem1, &QAction::triggered, this, &TForm1::MenuItem1Click);

    connect(list, &DeviceListView::rowChosen, this,
            [this](const QModelIndex& item) { runGuarded([&] { listItemClick(item); }); });
    // The view speaks of its own rows; the window of registry positions.
    connect(list, &DeviceListView::infoButtonEntered, this, [this](int row) {
        runGuarded([&] { infoButtonMouseEnter(listFilter_->recordRow(row)); });
    });
    connect(list, &DeviceListView::infoButtonClicked, this,
            [this](int, const QRect& anchor) { MultiView1->openAt(anchor); });
    connect(list, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { showListMenu(at); });
    connectListAdditions();
}

void TForm1::connectListAdditions()
{
    connect(MenuItem2, &QAction::triggered, this,
            [this] { runGuarded([&] { copyAddress(menuRow_); }); });
    connect(MenuItem3, &QAction::triggered, this,
            [this] { runGuarded([&] { copyDeviceDetails(menuRow_); }); });
    connectGuarded(MenuItem4, &QAction::triggered, this, &TForm1::exportList);
    connect(e_filter, &QLineEdit::textChanged, this,
            [this](const QString& text) { runGuarded([&] { e_filterChange(text); }); });
    connectGuarded(timer_no_answer, &QTimer::timeout, this, &TForm1::timer_no_answerTimer);

    const auto shortcut = [this](QKeySequence keys, QWidget* on, Qt::ShortcutContext context,
                                 auto handler) {
        auto* keysShortcut = new QShortcut(keys, on);
        keysShortcut->setContext(context);
        connect(keysShortcut, &QShortcut::activated, this, [handler] { runGuarded(handler); });
    };
    shortcut(QKeySequence::Find, this, Qt::WindowShortcut, [this] { openFilter(); });
    shortcut(Qt::Key_Escape, e_filter, Qt::WidgetShortcut, [this] { closeFilter(); });
    // From the field down into the narrowed rows, as from a search field into its results.
    shortcut(Qt::Key_Down, e_filter, Qt::WidgetShortcut,
             [this] { list->setFocus(Qt::TabFocusReason); });
    shortcut(QKeySequence::Copy, list, Qt::WidgetShortcut,
             [this] { copyAddress(selectedIndex()); });
    shortcut(MenuItem3->shortcut(), list, Qt::WidgetShortcut,
             [this] { copyDeviceDetails(selectedIndex()); });
    shortcut(MenuItem4->shortcut(), this, Qt::WindowShortcut, [this] { exportList(); });
}

void TForm1::showListMenu(const QPoint& at)
{
    menuRow_ = listFilter_->recordRow(list->indexAt(at));
    MenuItem2->setEnabled(menuRow_ >= 0);
    MenuItem3->setEnabled(menuRow_ >= 0);
    PopupMenu1->popup(list->viewport()->mapToGlobal(at));
}

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    try {
        FormShow();
    } catch (const std::exception& error) {
        startupFailed_ = true;
        // The program ends once the box is closed; until then an unbound endpoint must not be
        // asked to search again, each time adding a box of its own.
        timer_refresh->stop();
        // Also on the console: whoever started the program there sees why it ends.
        qWarning("%s", error.what());
        showUnhandledError(QString::fromLocal8Bit(error.what()));
    }
}

void TForm1::FormShow()
{
    MultiView1->setPopoverHeight(kPopoverHeight);
    MultiView1->resize(kPopoverWidth, MultiView1->height());
    server->activate();
}

void TForm1::timer_refreshTimer()
{
    button_refreshClick();
}

void TForm1::Switch1Switch()
{
    // start() begins a new full interval: the next search is a whole period away.
    if (Switch1->isChecked())
        timer_refresh->start();
    else
        timer_refresh->stop();
}

void TForm1::button_refreshClick()
{
    server->broadcast(kSearchWord);
    // Counted from the first search left unanswered: later ones must not push the hint away.
    if (servers.count() == 0 && !timer_no_answer->isActive())
        timer_no_answer->start();
}

void TForm1::timer_no_answerTimer()
{
    if (servers.count() > 0)
        return;
    l_no_answer->setText(noAnswerHint(options_.endpoint.broadcast_address));
    l_no_answer->show();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == label_top && event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        runGuarded([&] { label_topMouseDown(press->button(), press->modifiers()); });
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::label_topMouseDown(Qt::MouseButton, Qt::KeyboardModifiers shift)
{
    if (shift.testFlag(Qt::ControlModifier))
        panel_config->unlockExpertControls();
}

void TForm1::serverUDPRead(const Datagram& datagram)
{
    const std::string& text = datagram.bytes;
    const std::string& sender = datagram.sender;
    switch (classify_datagram(text, sender, verdict_busy, write_target)) {
    case DatagramKind::Announcement:
        readAnnouncement(sender, text, datagram.interface_index);
        break;
    case DatagramKind::SettingsReply:
        readNetworkResponse(sender, text);
        break;
    case DatagramKind::ErrorVerdict:
        handleErrorVerdict();
        break;
    case DatagramKind::SuccessVerdict:
        handleSuccessVerdict();
        break;
    case DatagramKind::Ignored:
        break;
    }
}

void TForm1::readAnnouncement(const std::string& sender, const std::string& text,
                              int interfaceIndex)
{
    int position = -1;
    switch (servers.hear_announcement(sender, text, interfaceIndex, position)) {
    case DeviceRegistry::Heard::Added:
        updateList();
        break;
    case DeviceRegistry::Heard::Conflict:
        // Only the row's mark changes: the selection and the panel stay.
        listModel_->recordChanged(position);
        break;
    case DeviceRegistry::Heard::Known:
        break;
    }
}

int TForm1::selectedIndex() const
{
    const QModelIndexList selected = list->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : listFilter_->recordRow(selected.first());
}

void TForm1::updateList()
{
    listModel_->rebuild();
    if (servers.count() > 0)
        l_no_answer->hide();
    clearSettings();
}

void TForm1::clearSettings()
{
    // The selection goes first: the widget changes below then reach no record.
    list->selectionModel()->clear();
    shownDevice_.clear();
    panel_config->blank();
}

void TForm1::listItemClick(const QModelIndex& item)
{
    listModel_->setHighlightedRow(listFilter_->recordRow(item));
    showSettings();
}

void TForm1::infoButtonMouseEnter(int row)
{
    info_index = row;
}

void TForm1::MultiView1StartShowing()
{
    MultiView1->gridModel()->refreshColumns();
}

QString TForm1::grid_infoGetValue(int column, int row) const
{
    static const std::array<const char*, 5> labels = {"Model", "Indentifier", "Firmware ver.",
                                                      "Build number", "User"};
    static const std::array<std::string WebServer::*, 5> fields = {
        &WebServer::model, &WebServer::identifier, &WebServer::firmware, &WebServer::build,
        &WebServer::user};
    if (row < 0 || row >= static_cast<int>(labels.size()))
        return {};
    if (column == 0)
        return QString::fromLatin1(labels[static_cast<std::size_t>(row)]);
    // After "Clear list" the position may be gone: show nothing rather than read past the end.
    if (column == 1 && servers.contains_index(info_index))
        return fromBytes(servers.at(info_index).*fields[static_cast<std::size_t>(row)]);
    return {};
}

void TForm1::MenuItem1Click()
{
    servers.clear();
    timer_no_answer->stop();
    l_no_answer->hide();
    updateList();
}

void TForm1::copyAddress(int position)
{
    if (servers.contains_index(position))
        QGuiApplication::clipboard()->setText(fromBytes(servers.at(position).ip));
}

void TForm1::copyDeviceDetails(int position)
{
    if (servers.contains_index(position))
        QGuiApplication::clipboard()->setText(fromBytes(device_details_line(servers.at(position))));
}

void TForm1::exportList()
{
    const QString path =
        chooseSaveFile(this, QStringLiteral("Export list"), QStringLiteral("devices.csv"),
                       QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    // Written beside the target and renamed over it at the end: a failure leaves no half file.
    QSaveFile file(path);
    const QByteArray csv = QByteArray::fromStdString(devices_csv(servers));
    const bool written = file.open(QIODevice::WriteOnly) && file.write(csv) == csv.size();
    if (!written || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        MessageDialog(QStringLiteral("Could not export the list to %1: %2").arg(path, reason),
                      DialogKind::Error);
    }
}

void TForm1::openFilter()
{
    if (!e_filter->isVisible()) {
        e_filter->show();
        layoutRegions();
    }
    e_filter->setFocus(Qt::ShortcutFocusReason);
    e_filter->selectAll();
}

void TForm1::closeFilter()
{
    e_filter->clear();
    e_filter->hide();
    layoutRegions();
    list->setFocus(Qt::ShortcutFocusReason);
}

void TForm1::e_filterChange(const QString& text)
{
    const int before = selectedIndex();
    listFilter_->setNeedle(text);
    // The selected device filtered out of sight (the view may even have moved the selection to
    // a neighbour): nothing is selected, highlighted or in the panel, as after a rebuild.
    if (before >= 0 && selectedIndex() != before) {
        listModel_->setHighlightedRow(-1);
        clearSettings();
    }
}

} // namespace nimbrel
