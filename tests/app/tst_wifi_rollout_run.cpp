// The roll-out's run, device by device, against a transport that records what would go out:
// which device is asked, which messages go where, which answers are taken and which ignored,
// timeouts and Cancel.

#include "app/wifi_rollout.h"
#include "config/scramble.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <stdexcept>

using namespace nimbrel;

namespace {

constexpr const char* kKey = "1234";

struct Sent {
    std::string kind; // "request" or "write"
    std::string to;   // the device asked, or the interface index written through
    std::string bytes;
    qint64 atNs = 0;
};

// A device at the address, with an announcement's settings.
WebServer device(const std::string& ip, int interfaceIndex = 3)
{
    WebServer record;
    record.ip = ip;
    record.model = "QUORIX";
    record.identifier = "TVX-" + ip.substr(ip.rfind('.') + 1);
    record.interface_index = interfaceIndex;
    return record;
}

// Wi-Fi by DHCP (the addresses it has now), static Ethernet in another network.
const std::string kReply = "network_response;no;Old;open;;yes;192.168.5.20;255.255.255.0;"
                           "192.168.5.1;no;172.16.0.5;255.255.255.0;172.16.0.1;";

class Run {
public:
    explicit Run(RolloutTimings timings = {60, 5, 60})
        : rollout({[this](const std::string& ip) { onSend("request", ip, kSettingsRequestText); },
                   [this](const std::string& bytes, int interfaceIndex) {
                       onSend("write", std::to_string(interfaceIndex), bytes);
                   }},
                  timings)
    {
        clock.start();
    }

    void onSend(const std::string& kind, const std::string& to, const std::string& bytes)
    {
        if (failSends)
            throw std::runtime_error("Network is unreachable");
        sent.push_back({kind, to, bytes, clock.nsecsElapsed()});
    }

    std::vector<std::string> kinds() const
    {
        std::vector<std::string> list;
        for (const Sent& s : sent)
            list.push_back(s.kind == "request" ? "request " + s.to : "write");
        return list;
    }

    int writes() const
    {
        return static_cast<int>(std::count_if(sent.begin(), sent.end(),
                                              [](const Sent& s) { return s.kind == "write"; }));
    }

    // Waits until the roll-out is in the phase, for at most two seconds.
    bool reach(WifiRollout::Phase phase)
    {
        return QTest::qWaitFor([&] { return rollout.phase() == phase; }, 2000);
    }

    static constexpr const char* kSettingsRequestText = "get_network";
    QElapsedTimer clock;
    std::vector<Sent> sent;
    bool failSends = false;
    WifiRollout rollout;
};

std::vector<std::string> outcomes(const WifiRollout& rollout)
{
    std::vector<std::string> texts;
    for (const RolloutResult& result : rollout.results())
        texts.push_back(rollout_result_text(result));
    return texts;
}

class WifiRolloutRunTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void twoDevices_eachAskedWrittenAndSavedInTurn();
    void answers_takenOnlyFromTheDeviceWorkedOn();
    void pacing_neverShorterThanThePause();
    void timeouts_endTheDeviceAndTheNextBegins();
    void verdict_errorWinsAndIsActedOnOnce();
    void failedCheck_writesNothingAndGoesOn();
    void cancel_finishesTheDeviceBeingWrittenOnly();
    void cancel_whileAskingWritesNothing();
    void cancel_betweenTwoDevicesAsksNoOther();
    void refusedSend_endsThatDeviceOnly();
};

void WifiRolloutRunTest::twoDevices_eachAskedWrittenAndSavedInTurn()
{
    Run run;
    QSignalSpy saved(&run.rollout, &WifiRollout::deviceSaved);
    QSignalSpy finished(&run.rollout, &WifiRollout::finished);
    run.rollout.start({device("10.101.0.1", 3), device("10.101.0.2", 4)},
                      {"Office", 2, "long-secret"}, kKey);

    QCOMPARE(run.kinds(), std::vector<std::string>{"request 10.101.0.1"});
    QVERIFY(run.rollout.takeSettingsReply("10.101.0.1", kReply));
    QVERIFY(run.reach(WifiRollout::Phase::AwaitingVerdict));
    QCOMPARE(run.writes(), 6);
    // Scrambled with the admin password, through the interface the device was found on.
    const std::string first = scramble_text(run.sent[1].bytes, kKey);
    QCOMPARE(QString::fromStdString(first),
             QStringLiteral("10.101.0.1\ncreate_file\n/Talvonex/CONFIG_NET.TXT\n[AP] No\n"
                            "[SSID] Office\n[PASS] long-secret\n[ENC] WPA\n[DHCP] Yes\n"
                            "[IP] 192.168.5.20\n[MASK] 255.255.255.0\n[GW] 192.168.5.1\n"));
    QCOMPARE(run.sent[1].to, std::string("3"));
    QCOMPARE(QString::fromStdString(scramble_text(run.sent[6].bytes, kKey)),
             QStringLiteral("10.101.0.1\ncreate_file\n/Talvonex/actualizado\n"));

    QVERIFY(run.rollout.takeVerdict("10.101.0.1", "Success"));
    QCOMPARE(saved.count(), 1);
    QCOMPARE(saved.at(0).at(0).value<std::string>(), std::string("10.101.0.1"));
    // The next device is asked from the event loop, once this one's result is out.
    QTRY_COMPARE(run.sent.back().kind + " " + run.sent.back().to,
                 std::string("request 10.101.0.2"));
    QVERIFY(run.rollout.takeSettingsReply("10.101.0.2", kReply));
    QVERIFY(run.reach(WifiRollout::Phase::AwaitingVerdict));
    QCOMPARE(run.sent.back().to, std::string("4"));
    QVERIFY(run.rollout.takeVerdict("10.101.0.2", "Success"));

    QCOMPARE(finished.count(), 1);
    QVERIFY(!run.rollout.isRunning());
    QCOMPARE(outcomes(run.rollout),
             (std::vector<std::string>{"Saved, restarting", "Saved, restarting"}));
    QCOMPARE(run.writes(), 12);
}

void WifiRolloutRunTest::answers_takenOnlyFromTheDeviceWorkedOn()
{
    Run run({2000, 5, 2000});
    run.rollout.start({device("10.101.0.1"), device("10.101.0.2")}, {"Office", 0, ""}, kKey);
    // Another device's reply, and a reply of twelve parts, are no answer to this request.
    QVERIFY(!run.rollout.takeSettingsReply("10.101.0.2", kReply));
    QVERIFY(!run.rollout.takeSettingsReply("10.101.0.1", kReply.substr(0, kReply.size() - 1)));
    QVERIFY(!run.rollout.takeVerdict("10.101.0.1", "Success"));
    QCOMPARE(run.writes(), 0);

    QVERIFY(run.rollout.takeSettingsReply("10.101.0.1", kReply));
    // A verdict before the set is complete belongs to no write of this roll-out.
    QCOMPARE(run.rollout.phase(), WifiRollout::Phase::Writing);
    QVERIFY(!run.rollout.takeVerdict("10.101.0.1", "Success"));
    QVERIFY(run.reach(WifiRollout::Phase::AwaitingVerdict));
    QVERIFY(!run.rollout.takeVerdict("10.101.0.2", "Success"));
    QVERIFY(!run.rollout.takeVerdict("10.101.0.1", "neither word"));
    QVERIFY(!run.rollout.takeSettingsReply("10.101.0.1", kReply));
    QCOMPARE(run.rollout.currentDevice(), 0);
    QVERIFY(run.rollout.takeVerdict("10.101.0.1", "Success"));
    QCOMPARE(run.rollout.currentDevice(), 1);
}

void WifiRolloutRunTest::pacing_neverShorterThanThePause()
{
    // The device needs the whole pause to store each file: a timer allowed to fire early (as
    // coarse timers are, by up to 5 %) would cut it short.
    constexpr int kPauseMs = 200; // as the window paces
    Run run({2000, kPauseMs, 2000});
    run.rollout.start({device("10.101.0.1")}, {"Office", 0, ""}, kKey);
    QVERIFY(run.rollout.takeSettingsReply("10.101.0.1", kReply));
    QVERIFY(run.reach(WifiRollout::Phase::AwaitingVerdict));
    QCOMPARE(run.writes(), 6);
    for (std::size_t i = 2; i < run.sent.size(); ++i) {
        const qint64 gapNs = run.sent[i].atNs - run.sent[i - 1].atNs;
        QVERIFY2(
            gapNs >= kPauseMs * 1000000LL,
            qPrintable(
                QStringLiteral("message %1 followed after %2 ms").arg(i).arg(double(gapNs) / 1e6)));
    }
}

void WifiRolloutRunTest::timeouts_endTheDeviceAndTheNextBegins()
{
    Run run;
    QSignalSpy finished(&run.rollout, &WifiRollout::finished);
    run.rollout.start({device("10.101.0.1"), device("10.101.0.2")}, {"Office", 0, ""}, kKey);
    // The first never answers the request; the second answers it and never gives a verdict.
    QVERIFY(QTest::qWaitFor([&] { return run.sent.size() == 2; }, 2000));
    QCOMPARE(run.kinds(), (std::vector<std::string>{"request 10.101.0.1", "request 10.101.0.2"}));
    QVERIFY(run.rollout.takeSettingsReply("10.101.0.2", kReply));
    QVERIFY(finished.wait(2000));
    QCOMPARE(run.writes(), 6);
    QCOMPARE(outcomes(run.rollout),
             (std::vector<std::string>{"No answer to the settings request", "No verdict"}));
}

void WifiRolloutRunTest::verdict_errorWinsAndIsActedOnOnce()
{
    Run run;
    QSignalSpy saved(&run.rollout, &WifiRollout::deviceSaved);
    run.rollout.start({device("10.101.0.1")}, {"Office", 0, ""}, kKey);
    QVERIFY(run.rollout.takeSettingsReply("10.101.0.1", kReply));
    QVERIFY(run.reach(WifiRollout::Phase::AwaitingVerdict));
    QVERIFY(run.rollout.takeVerdict("10.101.0.1", "Success and Error"));
    QVERIFY(!run.rollout.takeVerdict("10.101.0.1", "Success"));
    QCOMPARE(saved.count(), 0);
    QCOMPARE(outcomes(run.rollout), std::vector<std::string>{"Incorrect password"});
}

void WifiRolloutRunTest::failedCheck_writesNothingAndGoesOn()
{
    Run run;
    run.rollout.start({device("10.101.0.1"), device("10.101.0.2")}, {"Office", 0, ""}, kKey);
    // Static Wi-Fi in 172.16.0.x while Ethernet is there too.
    QVERIFY(run.rollout.takeSettingsReply(
        "10.101.0.1", "network_response;no;Old;open;;no;172.16.0.9;255.255.255.0;172.16.0.1;no;"
                      "172.16.0.5;255.255.255.0;172.16.0.1;"));
    QCOMPARE(run.writes(), 0);
    QCOMPARE(run.rollout.currentDevice(), 1);
    // Between two devices nothing is awaited: a reply now answers no request.
    QCOMPARE(run.rollout.phase(), WifiRollout::Phase::NextDevice);
    QVERIFY(!run.rollout.takeSettingsReply("10.101.0.2", kReply));
    QTRY_COMPARE(run.kinds().back(), std::string("request 10.101.0.2"));
    QCOMPARE(outcomes(run.rollout)[0],
             std::string("Wifi and Ethernet can't be in the same subnet"));
}

void WifiRolloutRunTest::cancel_finishesTheDeviceBeingWrittenOnly()
{
    Run run;
    QSignalSpy finished(&run.rollout, &WifiRollout::finished);
    run.rollout.start({device("10.101.0.1"), device("10.101.0.2"), device("10.101.0.3")},
                      {"Office", 0, ""}, kKey);
    QVERIFY(run.rollout.takeSettingsReply("10.101.0.1", kReply));
    QCOMPARE(run.rollout.phase(), WifiRollout::Phase::Writing);
    run.rollout.cancel();
    QVERIFY(run.reach(WifiRollout::Phase::AwaitingVerdict));
    QCOMPARE(run.writes(), 6);
    QVERIFY(run.rollout.takeVerdict("10.101.0.1", "Success"));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(run.kinds().front(), std::string("request 10.101.0.1"));
    QCOMPARE(run.sent.size(), std::size_t(7)); // no request to the others
    QCOMPARE(outcomes(run.rollout),
             (std::vector<std::string>{"Saved, restarting", "Not written (cancelled)",
                                       "Not written (cancelled)"}));
}

void WifiRolloutRunTest::cancel_whileAskingWritesNothing()
{
    Run run({2000, 5, 2000});
    QSignalSpy finished(&run.rollout, &WifiRollout::finished);
    run.rollout.start({device("10.101.0.1"), device("10.101.0.2")}, {"Office", 0, ""}, kKey);
    run.rollout.cancel();
    QCOMPARE(finished.count(), 1);
    QVERIFY(!run.rollout.takeSettingsReply("10.101.0.1", kReply));
    QTest::qWait(50);
    QCOMPARE(run.kinds(), std::vector<std::string>{"request 10.101.0.1"});
    QCOMPARE(outcomes(run.rollout),
             (std::vector<std::string>{"Not written (cancelled)", "Not written (cancelled)"}));
}

void WifiRolloutRunTest::cancel_betweenTwoDevicesAsksNoOther()
{
    Run run;
    QSignalSpy finished(&run.rollout, &WifiRollout::finished);
    // Cancel pressed just as the first device's result came in.
    connect(&run.rollout, &WifiRollout::deviceFinished, &run.rollout,
            [&] { run.rollout.cancel(); });
    run.rollout.start({device("10.101.0.1"), device("10.101.0.2")}, {"Office", 0, ""}, kKey);
    QVERIFY(run.rollout.takeSettingsReply("10.101.0.1", kReply));
    QVERIFY(run.reach(WifiRollout::Phase::AwaitingVerdict));
    QVERIFY(run.rollout.takeVerdict("10.101.0.1", "Success"));
    QVERIFY(finished.wait(2000));
    QTest::qWait(20);
    QCOMPARE(run.sent.size(), std::size_t(7));
    QCOMPARE(outcomes(run.rollout),
             (std::vector<std::string>{"Saved, restarting", "Not written (cancelled)"}));
}

void WifiRolloutRunTest::refusedSend_endsThatDeviceOnly()
{
    Run run;
    QSignalSpy finished(&run.rollout, &WifiRollout::finished);
    run.failSends = true;
    run.rollout.start({device("10.101.0.1"), device("10.101.0.2")}, {"Office", 0, ""}, kKey);
    QVERIFY(finished.wait(2000));
    QCOMPARE(outcomes(run.rollout), (std::vector<std::string>{"Not sent: Network is unreachable",
                                                              "Not sent: Network is unreachable"}));
}

} // namespace

QTEST_GUILESS_MAIN(WifiRolloutRunTest)
#include "tst_wifi_rollout_run.moc"
