// Start-up, the periodic search, the expert unlock, the dispatch of received datagrams, what the
// device list's rows, menu and information pop-over do.

#include "app/tform1.h"

#include "app/device_list_panel.h"
#include "app/file_export.h"
#include "app/guarded.h"
#include "app/info_popover.h"
#include "app/message_dialog.h"
#include "app/search_interfaces.h"
#include "app/settings_panel.h"
#include "app/text_conversion.h"
#include "app/wifi_rollout.h"
#include "devices/device_export.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
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
    connectGuarded(panel_config, &SettingsPanel::retrieveClicked, this,
                   &TForm1::bt_net_refreshClick);
    connectGuarded(timer_refresh, &QTimer::timeout, this, &TForm1::timer_refreshTimer);
    connectGuarded(timer_no_answer, &QTimer::timeout, this, &TForm1::timer_no_answerTimer);
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
    connectListPanel();
    connectListMenu();
}

void TForm1::connectListPanel()
{
    connectGuarded(panel_list, &DeviceListPanel::refreshClicked, this,
                   &TForm1::button_refreshClick);
    connect(panel_list, &DeviceListPanel::autoRefreshSwitched, this,
            [this](bool on) { runGuarded([&] { Switch1Switch(on); }); });
    connect(panel_list, &DeviceListPanel::rowChosen, this,
            [this](int position) { runGuarded([&] { listItemClick(position); }); });
    connect(panel_list, &DeviceListPanel::infoButtonEntered, this,
            [this](int position) { runGuarded([&] { infoButtonMouseEnter(position); }); });
    connect(panel_list, &DeviceListPanel::infoButtonClicked, this,
            [this](int, const QRect& anchor) { MultiView1->openAt(anchor); });
    connect(panel_list, &DeviceListPanel::menuRequested, this, &TForm1::showListMenu);
    connectGuarded(panel_list, &DeviceListPanel::selectionFilteredOut, this,
                   &TForm1::clearSettings);
}

void TForm1::connectListMenu()
{
    connectGuarded(MenuItem1, &QAction::triggered, this, &TForm1::MenuItem1Click);
    connect(MenuItem2, &QAction::triggered, this,
            [this] { runGuarded([&] { copyAddress(menuRow_); }); });
    connect(MenuItem3, &QAction::triggered, this,
            [this] { runGuarded([&] { copyDeviceDetails(menuRow_); }); });
    connectGuarded(MenuItem4, &QAction::triggered, this, &TForm1::exportList);
    connectGuarded(MenuItem5, &QAction::triggered, this, &TForm1::configureWifiOnSeveral);

    // The keys of the copy commands act on the selected row, the menu's on the row under the
    // pointer.
    const auto onKeys = [this](QShortcut* shortcut, auto handler) {
        connect(shortcut, &QShortcut::activated, this, [handler] { runGuarded(handler); });
    };
    onKeys(panel_list->listShortcut(QKeySequence::Copy), [this] { copyAddress(selectedIndex()); });
    onKeys(panel_list->listShortcut(MenuItem3->shortcut()),
           [this] { copyDeviceDetails(selectedIndex()); });
    auto* exportKeys = new QShortcut(MenuItem4->shortcut(), this);
    exportKeys->setContext(Qt::WindowShortcut);
    onKeys(exportKeys, [this] { exportList(); });
}

void TForm1::showListMenu(int position, const QPoint& globalAt)
{
    menuRow_ = position;
    MenuItem2->setEnabled(menuRow_ >= 0);
    MenuItem3->setEnabled(menuRow_ >= 0);
    MenuItem5->setEnabled(servers.count() > 0);
    PopupMenu1->popup(globalAt);
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

void TForm1::Switch1Switch(bool on)
{
    // start() begins a new full interval: the next search is a whole period away.
    if (on)
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
    panel_list->showNoAnswerHint(noAnswerHint(options_.endpoint.broadcast_address));
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
        rollout_->takeSettingsReply(sender, text);
        break;
    case DatagramKind::ErrorVerdict:
        handleErrorVerdict();
        break;
    case DatagramKind::SuccessVerdict:
        handleSuccessVerdict();
        break;
    case DatagramKind::Ignored:
        // While a roll-out runs no single write is outstanding, so every verdict lands here;
        // the roll-out takes the one from the device it has just written, once.
        rollout_->takeVerdict(sender, text);
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
        panel_list->recordChanged(position);
        break;
    case DeviceRegistry::Heard::Known:
        break;
    }
}

int TForm1::selectedIndex() const
{
    return panel_list->selectedIndex();
}

DeviceListModel* TForm1::listModel() const
{
    return panel_list->listModel();
}

void TForm1::updateList()
{
    panel_list->rebuild();
    if (servers.count() > 0)
        panel_list->hideNoAnswerHint();
    clearSettings();
}

void TForm1::clearSettings()
{
    // The selection goes first: the widget changes below then reach no record.
    panel_list->clearSelection();
    shownDevice_.clear();
    panel_config->blank();
}

void TForm1::listItemClick(int position)
{
    panel_list->highlightRow(position);
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
    panel_list->hideNoAnswerHint();
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
    exportToChosenFile(this, QStringLiteral("Export list"), QStringLiteral("devices.csv"),
                       devices_csv(servers), QStringLiteral("Could not export the list to %1: %2"));
}

} // namespace nimbrel
