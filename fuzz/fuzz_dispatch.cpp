// The window's datagram path: every record of the input reaches TForm1::serverUDPRead from one of
// a few fixed senders, interleaved with the row selections and pop-over reads a user makes. The
// window is never shown, so its endpoint never binds or sends.

#include "app/device_list_model.h"
#include "app/device_list_view.h"
#include "app/message_dialog.h"
#include "app/text_conversion.h"
#include "app/tform1.h"
#include "fuzz_support.h"
#include "net/protocol.h"
#include "util/text.h"
#include "window_widgets.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <QTimer>

#include <algorithm>
#include <array>
#include <set>
#include <utility>

namespace {

using namespace nimbrel;
using fuzzing::Record;
using nimbrel::testing::child;

// Close neighbours and far-apart networks, so the wrapped order of the list is exercised.
constexpr std::array<const char*, 8> kSenders = {"10.0.0.1",     "10.0.0.2",       "10.0.0.3",
                                                 "10.0.0.4",     "172.16.0.9",     "130.0.0.1",
                                                 "192.168.1.20", "255.255.255.254"};

struct Window {
    DeviceRegistry servers;
    TForm1* form = nullptr;
    bool painted = false; // painting halves the speed: at most one row per input
};

Window& window()
{
    static Window instance;
    return instance;
}

// What classify_datagram must answer, straight from the protocol's rules.
DatagramKind expected_kind(std::string_view text, const std::string& sender, bool busy,
                           const std::string& target)
{
    const auto has = [text](const char* word) { return text.find(word) != std::string_view::npos; };
    if (has(kAnnouncementWord))
        return DatagramKind::Announcement;
    if (has(kSettingsReplyWord))
        return DatagramKind::SettingsReply;
    if (busy || target.empty() || sender != target)
        return DatagramKind::Ignored;
    if (has(kErrorVerdict))
        return DatagramKind::ErrorVerdict;
    return has(kSuccessVerdict) ? DatagramKind::SuccessVerdict : DatagramKind::Ignored;
}

void check_classification(const std::string& text, const std::string& sender)
{
    const std::array<std::string, 3> targets = {std::string(), sender, "10.9.9.9"};
    for (const bool busy : {false, true})
        for (const std::string& target : targets)
            FUZZ_CHECK(classify_datagram(text, sender, busy, target) ==
                       expected_kind(text, sender, busy, target));
}

// The registry's order as its rule states it: a new address goes before the first listed one
// it sorts below by the wrapped difference.
void insert_expected(std::vector<std::string>& order, const std::string& sender)
{
    if (std::find(order.begin(), order.end(), sender) != order.end())
        return;
    const AddressValue value = ip_to_int(sender);
    const auto position = std::find_if(order.begin(), order.end(), [value](const auto& listed) {
        return ip_distance(value, ip_to_int(listed)) < 0;
    });
    order.insert(position, sender);
}

void check_registry(const Window& w, const std::vector<std::string>& order,
                    const std::set<std::string>& senders)
{
    const DeviceRegistry& servers = w.servers;
    FUZZ_CHECK(servers.count() <= static_cast<int>(senders.size()));
    FUZZ_CHECK(servers.count() == static_cast<int>(order.size()));
    FUZZ_CHECK(w.form->listModel()->rowCount() == servers.count());
    FUZZ_CHECK(w.form->selectedIndex() < servers.count());
    std::set<std::string> ips;
    for (int i = 0; i < servers.count(); ++i) {
        const WebServer& record = servers.at(i);
        FUZZ_CHECK(ips.insert(record.ip).second);
        FUZZ_CHECK(record.ip == order[static_cast<std::size_t>(i)]);
        FUZZ_CHECK(record.address == ip_to_int(record.ip));
    }
}

// Showing a record's settings writes the widgets back into it; texts the window does not
// replace on purpose must survive that round trip byte for byte.
void show_and_check(TForm1& form, DeviceRegistry& servers)
{
    const int row = form.selectedIndex();
    if (row < 0)
        return;
    const WebServer before = servers.at(row);
    form.showSettings();
    const WebServer& after = servers.at(row);
    FUZZ_CHECK(after.w_ssid == before.w_ssid);
    FUZZ_CHECK(after.w_pass == before.w_pass);
    if (!contains(before.w_ap, "yes")) {
        FUZZ_CHECK(after.w_ip == before.w_ip);
        FUZZ_CHECK(after.w_mask == before.w_mask);
        FUZZ_CHECK(after.w_gw == before.w_gw);
    }
    if (is_quorix(before)) {
        FUZZ_CHECK(after.eth_ip == before.eth_ip);
        FUZZ_CHECK(after.eth_mask == before.eth_mask);
        FUZZ_CHECK(after.eth_gw == before.eth_gw);
    }
}

void paint_row(TForm1& form, const QModelIndex& index)
{
    static QImage image(320, DeviceListView::kRowHeight, QImage::Format_ARGB32);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.initFrom(child<DeviceListView>(form, "list"));
    option.rect = image.rect();
    child<DeviceListView>(form, "list")->itemDelegate()->paint(&painter, option, index);
}

// The row as the user sees it: its caption, painted by the list's delegate, and its pop-over.
void read_row(Window& w, const WebServer& record, const QModelIndex& index, bool paint)
{
    TForm1& form = *w.form;
    const QString caption = index.data().toString();
    FUZZ_CHECK(caption.startsWith(fromBytes(record.ip + " (")));
    FUZZ_CHECK(caption.contains(fromBytes(record.model)));
    if (paint && !std::exchange(w.painted, true))
        paint_row(form, index);

    form.infoButtonMouseEnter(index.row());
    form.MultiView1StartShowing();
    FUZZ_CHECK(form.grid_infoGetValue(1, 0) == fromBytes(record.model));
    FUZZ_CHECK(form.grid_infoGetValue(1, 4) == fromBytes(record.user));
}

// Control byte: bits 0-2 the sender, bits 3-4 what the user does next, bits 5-7 the row (all
// three set: also paint it).
void user_action(Window& w, std::uint8_t control)
{
    TForm1& form = *w.form;
    if (w.servers.count() == 0)
        return;
    const int row = (control >> 5) % w.servers.count();
    const QModelIndex index = form.listModel()->index(row, 0);
    switch ((control >> 3) & 3) {
    case 1:
        child<DeviceListView>(form, "list")->setCurrentIndex(index);
        show_and_check(form, w.servers);
        break;
    case 2:
        child<DeviceListView>(form, "list")->setCurrentIndex(index);
        form.listItemClick(row);
        break;
    case 3:
        read_row(w, w.servers.at(row), index, (control >> 5) == 7);
        break;
    default:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt keeps argc and argv for the application's lifetime and may take arguments out of them:
    // give it its own rather than libFuzzer's.
    static int argc = 1;
    static char name[] = "fuzz_dispatch";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);

    setMessageDialogHook(
        [](const QString&, DialogKind, DialogButtons) { return DialogAnswer::Cancel; });
    TForm1::Options options;
    options.endpoint = {"127.0.0.1", 1, "127.0.0.1"};
    options.sendPauseMs = 0;
    Window& w = window();
    w.form = new TForm1(w.servers, options);
    child<QTimer>(*w.form, "timer_refresh")->stop();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Window& w = window();
    TForm1& form = *w.form;
    // Every input starts from an empty list, so a finding replays from its input alone.
    form.MenuItem1Click();
    w.painted = false;
    std::vector<std::string> order;
    std::set<std::string> senders;

    for (const Record& record : fuzzing::split_records(fuzzing::as_text(data, size))) {
        const std::string sender = kSenders[record.control & 7];
        const std::string bytes(record.bytes);
        check_classification(bytes, sender);
        const DatagramKind kind =
            classify_datagram(bytes, sender, form.verdictBusy(), form.writeTarget());

        form.serverUDPRead(Datagram{bytes, sender, 0});
        senders.insert(sender);
        if (kind == DatagramKind::Announcement)
            insert_expected(order, sender);
        check_registry(w, order, senders);

        user_action(w, record.control);
        check_registry(w, order, senders);
    }
    QCoreApplication::sendPostedEvents();
    return 0;
}
