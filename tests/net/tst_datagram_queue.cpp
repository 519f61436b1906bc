// The queue between the endpoint's receiving thread and its owner: order, the bound on bytes,
// the counts, when the owner must be woken, and a producer and a consumer on two threads (also
// run under ThreadSanitizer by scripts/run-tsan).

#include "net/datagram_queue.h"

#include <QTest>

#include <atomic>
#include <deque>
#include <string>
#include <thread>
#include <vector>

using namespace nimbrel;

namespace {

// Every datagram is charged its bytes plus this much against the bound.
std::size_t charged(std::size_t size)
{
    return size + kQueueBookkeepingBytes;
}

struct Batch {
    explicit Batch(const std::vector<int>& sizes)
    {
        for (std::size_t i = 0; i < sizes.size(); ++i)
            texts.push_back(std::string(static_cast<std::size_t>(sizes[i]), 'a' + i % 26));
        for (const std::string& text : texts)
            views.push_back({text, "10.0.0.1", 3});
    }
    std::vector<std::string> texts;
    std::vector<DatagramView> views;
};

std::vector<std::string> takeAll(DatagramQueue& queue)
{
    std::vector<std::string> taken;
    while (std::optional<Datagram> datagram = queue.take())
        taken.push_back(datagram->bytes);
    return taken;
}

} // namespace

using Sizes = std::vector<int>;
Q_DECLARE_METATYPE(Sizes)

class DatagramQueueTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void takesInArrivalOrderWithSenderAndInterface();
    void bound_data();
    void bound();
    void roomFreedByTakingIsUsedAgain();
    void takeIntoMovesAtMostThatManyOldestFirst();
    void countsEveryCause();
    void wakesOwnerOncePerBurst();
    void keepAwakeWhileDatagramsRemain_data();
    void keepAwakeWhileDatagramsRemain();
    void clearDropsQueuedAndCountsThem();
    void producerAndConsumerThreads_noneLostInOrder();
};

void DatagramQueueTest::takesInArrivalOrderWithSenderAndInterface()
{
    DatagramQueue queue(kDefaultQueueBound);
    const Batch first({3, 0, 5});
    const Batch second({1});
    queue.push(first.views, 0, 0);
    queue.push(second.views, 0, 0);

    const std::optional<Datagram> oldest = queue.take();
    QVERIFY(oldest.has_value());
    QCOMPARE(oldest->bytes, std::string("aaa"));
    QCOMPARE(oldest->sender, std::string("10.0.0.1"));
    QCOMPARE(oldest->interface_index, 3);
    QCOMPARE(takeAll(queue), (std::vector<std::string>{"", "ccccc", "a"}));
    QVERIFY(!queue.take().has_value());
}

void DatagramQueueTest::bound_data()
{
    QTest::addColumn<std::size_t>("bound");
    QTest::addColumn<Sizes>("sizes");
    QTest::addColumn<Sizes>("accepted"); // positions in sizes

    QTest::addRow("all fit") << 10 * charged(100) << Sizes{100, 100, 100} << Sizes{0, 1, 2};
    QTest::addRow("exactly at the bound")
        << 3 * charged(100) << Sizes{100, 100, 100, 100} << Sizes{0, 1, 2};
    QTest::addRow("one byte short of the third")
        << 3 * charged(100) - 1 << Sizes{100, 100, 100} << Sizes{0, 1};
    QTest::addRow("a smaller one fits where a larger one did not")
        << charged(8192) + charged(0) << Sizes{8192, 8192, 0, 1} << Sizes{0, 2};
    QTest::addRow("0-byte datagrams are charged their bookkeeping")
        << 2 * kQueueBookkeepingBytes << Sizes{0, 0, 0} << Sizes{0, 1};
    QTest::addRow("nothing fits") << kQueueBookkeepingBytes - 1 << Sizes{0, 5} << Sizes{};
}

// Past the bound a datagram is dropped and counted; those after it still get in if they fit.
void DatagramQueueTest::bound()
{
    QFETCH(std::size_t, bound);
    QFETCH(Sizes, sizes);
    QFETCH(Sizes, accepted);
    DatagramQueue queue(bound);
    const Batch batch(sizes);

    queue.push(batch.views, 0, 0);

    std::vector<std::string> expected;
    std::size_t expectedBytes = 0;
    for (int position : accepted) {
        expected.push_back(batch.texts[static_cast<std::size_t>(position)]);
        expectedBytes += charged(static_cast<std::size_t>(sizes[position]));
    }
    const QueueCounters counters = queue.counters();
    QCOMPARE(counters.received, sizes.size());
    QCOMPARE(counters.dropped_by_bound, sizes.size() - accepted.size());
    QCOMPARE(counters.queued_bytes, expectedBytes);
    QCOMPARE(counters.peak_queued_bytes, expectedBytes);
    QVERIFY(counters.queued_bytes <= bound);
    QCOMPARE(takeAll(queue), expected);
    QCOMPARE(queue.counters().queued_bytes, std::size_t(0));
}

void DatagramQueueTest::roomFreedByTakingIsUsedAgain()
{
    DatagramQueue queue(2 * charged(10));
    const Batch three({10, 10, 10});
    queue.push(three.views, 0, 0);
    QCOMPARE(queue.counters().dropped_by_bound, std::uint64_t(1));

    QVERIFY(queue.take().has_value());
    const Batch one({10});
    queue.push(one.views, 0, 0);

    const QueueCounters counters = queue.counters();
    QCOMPARE(counters.dropped_by_bound, std::uint64_t(1));
    QCOMPARE(counters.queued_bytes, 2 * charged(10));
    QCOMPARE(counters.peak_queued_bytes, 2 * charged(10));
    QCOMPARE(counters.taken, std::uint64_t(1));
    QCOMPARE(takeAll(queue), (std::vector<std::string>{"bbbbbbbbbb", "aaaaaaaaaa"}));
}

void DatagramQueueTest::takeIntoMovesAtMostThatManyOldestFirst()
{
    DatagramQueue queue(kDefaultQueueBound);
    const Batch five({1, 2, 3, 4, 5});
    queue.push(five.views, 0, 0);
    std::deque<Datagram> taken;

    QCOMPARE(queue.takeInto(taken, 3), std::size_t(3));
    QCOMPARE(queue.counters().queued_bytes, charged(4) + charged(5));
    QCOMPARE(queue.takeInto(taken, 3), std::size_t(2));
    QCOMPARE(queue.takeInto(taken, 3), std::size_t(0));

    std::vector<std::string> bytes;
    for (const Datagram& datagram : taken)
        bytes.push_back(datagram.bytes);
    QCOMPARE(bytes, (std::vector<std::string>{"a", "bb", "ccc", "dddd", "eeeee"}));
    QCOMPARE(queue.counters().taken, std::uint64_t(5));
    QCOMPARE(queue.counters().queued_bytes, std::size_t(0));
}

// The receiving thread's own drops (too long, read errors) come with a batch; received counts
// every datagram read, kept or not, and a read error is no datagram.
void DatagramQueueTest::countsEveryCause()
{
    DatagramQueue queue(charged(4));
    const Batch batch({4, 4});
    queue.push(batch.views, 3, 0);
    queue.push({}, 0, 2);
    takeAll(queue);

    const QueueCounters counters = queue.counters();
    QCOMPARE(counters.received, std::uint64_t(5));
    QCOMPARE(counters.dropped_by_size, std::uint64_t(3));
    QCOMPARE(counters.dropped_by_bound, std::uint64_t(1));
    QCOMPARE(counters.receive_errors, std::uint64_t(2));
    QCOMPARE(counters.taken, std::uint64_t(1));
    QCOMPARE(counters.discarded_at_stop, std::uint64_t(0));
}

void DatagramQueueTest::wakesOwnerOncePerBurst()
{
    DatagramQueue queue(kDefaultQueueBound);
    const Batch one({1});
    const Batch none({});

    QVERIFY2(!queue.push(none.views, 1, 1), "nothing was queued: no reason to wake the owner");
    QVERIFY2(queue.push(one.views, 0, 0), "the first datagram of a burst must wake the owner");
    QVERIFY2(!queue.push(one.views, 0, 0), "the owner is already woken");
    QVERIFY(queue.take().has_value());
    QVERIFY2(!queue.push(one.views, 0, 0), "the owner has not yet found the queue empty");
    takeAll(queue);
    QVERIFY2(queue.push(one.views, 0, 0), "the owner found the queue empty: wake it again");
}

void DatagramQueueTest::keepAwakeWhileDatagramsRemain_data()
{
    QTest::addColumn<int>("queued");
    QTest::addColumn<bool>("remain");

    QTest::addRow("datagrams remain") << 2 << true;
    QTest::addRow("queue empty") << 0 << false;
}

// The owner pauses: with datagrams left it wakes itself, so a push does not have to.
void DatagramQueueTest::keepAwakeWhileDatagramsRemain()
{
    QFETCH(int, queued);
    QFETCH(bool, remain);
    DatagramQueue queue(kDefaultQueueBound);
    const Batch batch(Sizes(static_cast<std::size_t>(queued), 1));
    queue.push(batch.views, 0, 0);

    QCOMPARE(queue.keepAwake(), remain);
    const Batch one({1});
    QCOMPARE(queue.push(one.views, 0, 0), !remain);
}

void DatagramQueueTest::clearDropsQueuedAndCountsThem()
{
    DatagramQueue queue(kDefaultQueueBound);
    const Batch batch({5, 6, 7});
    queue.push(batch.views, 0, 0);

    queue.clear();

    QVERIFY(!queue.take().has_value());
    const QueueCounters counters = queue.counters();
    QCOMPARE(counters.discarded_at_stop, std::uint64_t(3));
    QCOMPARE(counters.queued_bytes, std::size_t(0));
    QCOMPARE(counters.taken, std::uint64_t(0));
    const Batch next({1});
    QVERIFY2(queue.push(next.views, 0, 0), "after a clear the next datagram wakes the owner");
}

void DatagramQueueTest::producerAndConsumerThreads_noneLostInOrder()
{
    constexpr int kDatagrams = 100000;
    constexpr int kPerBatch = 64;
    DatagramQueue queue(kDefaultQueueBound);
    std::atomic<int> wakeUps{0};

    std::thread producer([&] {
        for (int first = 0; first < kDatagrams; first += kPerBatch) {
            std::vector<std::string> texts;
            for (int n = first; n < std::min(first + kPerBatch, kDatagrams); ++n)
                texts.push_back(std::to_string(n));
            std::vector<DatagramView> views;
            for (const std::string& text : texts)
                views.push_back({text, "127.0.0.2", 1});
            if (queue.push(views, 0, 0))
                ++wakeUps;
        }
    });
    std::vector<int> taken;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (static_cast<int>(taken.size()) < kDatagrams &&
           std::chrono::steady_clock::now() < deadline) {
        if (std::optional<Datagram> datagram = queue.take())
            taken.push_back(std::stoi(datagram->bytes));
        else
            std::this_thread::yield();
    }
    producer.join();

    QCOMPARE(static_cast<int>(taken.size()), kDatagrams);
    for (int n = 0; n < kDatagrams; ++n)
        QCOMPARE(taken[static_cast<std::size_t>(n)], n);
    const QueueCounters counters = queue.counters();
    QCOMPARE(counters.received, std::uint64_t(kDatagrams));
    QCOMPARE(counters.taken, std::uint64_t(kDatagrams));
    QCOMPARE(counters.dropped_by_bound, std::uint64_t(0));
    QVERIFY(wakeUps >= 1);
    qInfo("%d wake-ups for %d datagrams in batches of %d", wakeUps.load(), kDatagrams, kPerBatch);
}

QTEST_APPLESS_MAIN(DatagramQueueTest)
#include "tst_datagram_queue.moc"
