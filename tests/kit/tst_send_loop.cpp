// The floods' send loop: it stops at its count, its deadline, its stop flag or its step's word,
// whatever the steps send at a time.

#include "send_loop.h"

#include <QTest>

#include <thread>

using namespace nimbrel::testing;
using namespace std::chrono_literals;

class SendLoopTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void endsAtTheFirstBound_data();
    void endsAtTheFirstBound();
    void passedDeadlineSendsNothing();
    void deadlineEndsAnEndlessFlood();
};

void SendLoopTest::endsAtTheFirstBound_data()
{
    QTest::addColumn<long long>("count");
    QTest::addColumn<long long>("batch");          // what a step claims to send
    QTest::addColumn<int>("endAtCall");            // this call returns -1; -1: none
    QTest::addColumn<int>("stopDuringCall");       // this call sets the stop flag; -1: none
    QTest::addColumn<QList<long long>>("nexts");   // the step's first argument, call by call
    QTest::addColumn<QList<long long>>("atMosts"); // and its second
    QTest::addColumn<long long>("done");
    QTest::addColumn<bool>("complete");

    QTest::addRow("one at a time") << 3LL << 1LL << -1 << -1 << QList<long long>{0, 1, 2}
                                   << QList<long long>{3, 2, 1} << 3LL << true;
    QTest::addRow("batches, the last one short")
        << 10LL << 4LL << -1 << -1 << QList<long long>{0, 4, 8} << QList<long long>{10, 6, 2}
        << 10LL << true;
    QTest::addRow("a step claiming more than allowed")
        << 5LL << 100LL << -1 << -1 << QList<long long>{0} << QList<long long>{5} << 5LL << true;
    QTest::addRow("nothing to send")
        << 0LL << 1LL << -1 << -1 << QList<long long>{} << QList<long long>{} << 0LL << true;
    QTest::addRow("the step ends it") << 10LL << 2LL << 3 << -1 << QList<long long>{0, 2, 4}
                                      << QList<long long>{10, 8, 6} << 4LL << false;
    QTest::addRow("stopped from outside") << 10LL << 1LL << -1 << 2 << QList<long long>{0, 1}
                                          << QList<long long>{10, 9} << 2LL << false;
    QTest::addRow("a step that sent nothing is asked again")
        << 2LL << 0LL << 4 << -1 << QList<long long>{0, 0, 0, 0} << QList<long long>{2, 2, 2, 2}
        << 0LL << false;
}

void SendLoopTest::endsAtTheFirstBound()
{
    QFETCH(long long, count);
    QFETCH(long long, batch);
    QFETCH(int, endAtCall);
    QFETCH(int, stopDuringCall);
    QFETCH(QList<long long>, nexts);
    QFETCH(QList<long long>, atMosts);
    QFETCH(long long, done);
    QFETCH(bool, complete);

    std::atomic<bool> stop{false};
    QList<long long> seenNexts;
    QList<long long> seenAtMosts;
    const SendOutcome outcome = sendBounded({count, SteadyClock::now() + 10s, &stop},
                                            [&](long long next, long long atMost) {
                                                seenNexts << next;
                                                seenAtMosts << atMost;
                                                const int call = static_cast<int>(seenNexts.size());
                                                if (call == stopDuringCall)
                                                    stop = true;
                                                return call == endAtCall ? -1 : batch;
                                            });
    QCOMPARE(seenNexts, nexts);
    QCOMPARE(seenAtMosts, atMosts);
    QCOMPARE(outcome.done, done);
    QCOMPARE(outcome.complete, complete);
}

void SendLoopTest::passedDeadlineSendsNothing()
{
    int calls = 0;
    const SendOutcome outcome =
        sendBounded({5, SteadyClock::now() - 1ms}, [&](long long, long long) {
            ++calls;
            return 1LL;
        });
    QCOMPARE(calls, 0);
    QCOMPARE(outcome.done, 0);
    QVERIFY(!outcome.complete);
}

void SendLoopTest::deadlineEndsAnEndlessFlood()
{
    const auto start = SteadyClock::now();
    const SendOutcome outcome = sendBounded({1LL << 40, start + 50ms}, [](long long, long long) {
        std::this_thread::sleep_for(1ms);
        return 1LL;
    });
    QVERIFY(!outcome.complete);
    QVERIFY(outcome.done > 0);
    // Sleeps of 1 ms each: not more of them than fit before the deadline.
    QVERIFY(outcome.done <= 50);
    QVERIFY(SteadyClock::now() - start < 5s);
}

QTEST_GUILESS_MAIN(SendLoopTest)
#include "tst_send_loop.moc"
