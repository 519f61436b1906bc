#pragma once
// The real main window on loopback: it binds 127.0.0.1 on a free port and its broadcasts go to
// a capture socket on 127.0.0.2, where a test sees every search and write it sends.

#include "app/device_list_view.h"
#include "app/tform1.h"
#include "config/scramble.h"
#include "config/write_set.h"
#include "loopback_peer.h"
#include "window_driver.h"
#include "window_widgets.h"

#include <QStringList>
#include <QTest>

#include <memory>

namespace nimbrel::testing {

inline constexpr const char* kToolAddress = "127.0.0.1";
inline constexpr const char* kBroadcastCapture = "127.0.0.2";

struct FormFixture {
    explicit FormFixture(int refreshIntervalMs = 60000, int sendPauseMs = 1,
                         int noAnswerHintMs = 3000)
        : port(freeLoopbackPort()), broadcasts(kBroadcastCapture, port)
    {
        TForm1::Options options;
        options.endpoint = {kToolAddress, port, kBroadcastCapture};
        options.refreshIntervalMs = refreshIntervalMs;
        options.sendPauseMs = sendPauseMs;
        options.noAnswerHintMs = noAnswerHintMs;
        form = std::make_unique<TForm1>(servers, options);
    }

    // A device on its own loopback address announcing itself to the window.
    std::unique_ptr<LoopbackPeer> device(const std::string& address)
    {
        return std::make_unique<LoopbackPeer>(address, port);
    }

    void announce(LoopbackPeer& peer, const std::string& text)
    {
        const int before = servers.count();
        peer.sendTo(text, kToolAddress, port);
        QTRY_VERIFY(servers.count() > before);
    }

    // The six datagrams of one write, in the order they arrived; a seventh would be a fault.
    std::vector<Received> receiveWrite()
    {
        std::vector<Received> sent;
        while (sent.size() < kWriteMessageCount) {
            auto datagram = broadcasts.receive(2000);
            if (!datagram)
                break;
            sent.push_back(*datagram);
        }
        for (const Received& extra : broadcasts.receiveFor(50))
            sent.push_back(extra);
        return sent;
    }

    WindowDriver user() { return WindowDriver(*form); }
    void clickRow(int row) { user().clickRow(row); }

    std::uint16_t port;
    LoopbackPeer broadcasts;
    DeviceRegistry servers;
    std::unique_ptr<TForm1> form;
};

// What a write carried once unscrambled, one text per message.
inline QStringList unscrambled(const std::vector<Received>& sent, const std::string& key)
{
    QStringList texts;
    for (const Received& datagram : sent)
        texts << QString::fromStdString(scramble_text(datagram.bytes, key));
    return texts;
}

// An 18-part announcement.
inline std::string
announcement(const std::string& model,
             const std::string& settings = "no;Office;wpa;secret123;yes;;;;yes;;;;")
{
    return "im_QUORIX;" + model + ";TVX-1;2.4.1;1187;admin;" + settings;
}

} // namespace nimbrel::testing
