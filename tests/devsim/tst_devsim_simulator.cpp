#include "devsim/simulator.h"

#include "util/address.h"
#include "util/text.h"
#include "write_messages.h"

#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace nimbrel;
using namespace nimbrel::devsim;
using namespace nimbrel::devsim::testing;
using namespace std::chrono_literals;

namespace {

const AddressValue tool = ip_to_int("10.101.255.254");
constexpr std::uint16_t tool_port = 12340;
const AddressValue first_device = ip_to_int("10.101.0.1");
const Clock::time_point start{};

std::vector<DeviceInfo> make_devices(int count, int older = 0, const std::string& password = "1234")
{
    std::vector<DeviceInfo> devices;
    for (int i = 0; i < count; ++i) {
        DeviceInfo d;
        d.address = first_device + static_cast<AddressValue>(i);
        d.identifier = "TVX-" + std::to_string(i + 1);
        d.settings = default_settings(d.address);
        d.admin_password = password;
        d.older_firmware = i >= count - older;
        devices.push_back(d);
    }
    return devices;
}

Datagram datagram(const std::string& bytes, AddressValue destination)
{
    return Datagram{bytes, tool, tool_port, destination};
}

// Feeds a whole write; returns every reply it produced.
std::vector<Reply> send_all(Simulator& sim, const std::vector<std::string>& messages,
                            Clock::time_point now = start)
{
    std::vector<Reply> replies;
    for (const auto& message : messages) {
        auto result = sim.handle(datagram(message, 0xFFFFFFFFu), now);
        replies.insert(replies.end(), result.replies.begin(), result.replies.end());
    }
    return replies;
}

QStringList files_under(const QString& dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files << it.next();
    }
    return files;
}

QByteArray read_file(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class DevsimSimulatorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void search_data();
    void search();
    void getNetwork_data();
    void getNetwork();
    void writeWithRightPassword_data();
    void writeWithRightPassword();
    void writeRefused_data();
    void writeRefused();
    void messageForAnotherDevice();
    void restartSilence();
    void garbageIgnored_data();
    void garbageIgnored();
};

void DevsimSimulatorTest::search_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("older");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<int>("full");
    QTest::addColumn<int>("short_");

    QTest::addRow("one device, broadcast") << 1 << 0 << "255.255.255.255" << 1 << 0;
    QTest::addRow("five devices, two older") << 5 << 2 << "255.255.255.255" << 3 << 2;
    QTest::addRow("all older") << 3 << 3 << "255.255.255.255" << 0 << 3;
    QTest::addRow("subnet broadcast") << 4 << 0 << "10.101.255.255" << 4 << 0;
    QTest::addRow("sent to one device") << 4 << 0 << "10.101.0.3" << 1 << 0;
    QTest::addRow("4096 devices") << 4096 << 0 << "255.255.255.255" << 4096 << 0;
}

void DevsimSimulatorTest::search()
{
    QFETCH(int, count);
    QFETCH(int, older);
    QFETCH(QString, destination);
    QFETCH(int, full);
    QFETCH(int, short_);

    const auto devices = make_devices(count, older);
    Simulator sim(devices, {});
    const auto result =
        sim.handle(datagram("find_QUORIX", ip_to_int(destination.toStdString())), start);

    QCOMPARE(result.replies.size(), std::size_t(full + short_));
    int full_seen = 0;
    for (const auto& reply : result.replies) {
        const DeviceInfo* device = sim.device(reply.from);
        QVERIFY(device);
        QCOMPARE(reply.to, tool);
        QCOMPARE(reply.to_port, tool_port);
        const auto parts = split_string(reply.bytes, ';');
        QVERIFY(contains(reply.bytes, "im_QUORIX"));
        if (device->older_firmware) {
            QVERIFY(parts.size() < 18);
            continue;
        }
        ++full_seen;
        QCOMPARE(parts.size(), std::size_t(18));
        QVERIFY(reply.bytes.ends_with(';'));
        QCOMPARE(parts[1], device->model);
        QCOMPARE(parts[2], device->identifier);
        QCOMPARE(parts[15], int_to_ip(reply.from)); // eth_ip defaults to the device's address
    }
    QCOMPARE(full_seen, full);
    if (destination == u"10.101.0.3") {
        QCOMPARE(int_to_ip(result.replies.front().from), std::string("10.101.0.3"));
    }
}

void DevsimSimulatorTest::getNetwork_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("secondIgnores"); // 10.101.0.2 is set not to answer get_network
    QTest::addColumn<bool>("answered");

    QTest::addRow("to a device") << QByteArray("get_network") << "10.101.0.2" << false << true;
    QTest::addRow("to the first device")
        << QByteArray("get_network") << "10.101.0.1" << false << true;
    QTest::addRow("to an address without device")
        << QByteArray("get_network") << "10.101.0.9" << false << false;
    QTest::addRow("broadcast") << QByteArray("get_network") << "255.255.255.255" << false << false;
    QTest::addRow("subnet broadcast")
        << QByteArray("get_network") << "10.101.255.255" << false << false;
    QTest::addRow("lower case word") << QByteArray("GET_NETWORK") << "10.101.0.2" << false << false;
    QTest::addRow("to a device set not to answer")
        << QByteArray("get_network") << "10.101.0.2" << true << false;
    QTest::addRow("beside a device set not to answer")
        << QByteArray("get_network") << "10.101.0.3" << true << true;
}

void DevsimSimulatorTest::getNetwork()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, destination);
    QFETCH(bool, secondIgnores);
    QFETCH(bool, answered);

    auto devices = make_devices(3);
    devices[1].answers_get_network = !secondIgnores;
    Simulator sim(devices, {});
    const AddressValue to = ip_to_int(destination.toStdString());
    const auto result = sim.handle(datagram(text.toStdString(), to), start);

    QCOMPARE(result.replies.size(), std::size_t(answered ? 1 : 0));
    if (secondIgnores) {
        // It is silent on get_network only: it still answers searches and takes writes.
        QCOMPARE(sim.handle(datagram("find_QUORIX", 0xFFFFFFFFu), start).replies.size(),
                 std::size_t(3));
        const auto verdict = send_all(sim, scrambled(plain_write("10.101.0.2", {}), "1234"));
        QCOMPARE(verdict.size(), std::size_t(1));
        QCOMPARE(verdict.front().bytes, std::string("Success"));
    }
    if (!answered) {
        return;
    }
    const Reply& reply = result.replies.front();
    QCOMPARE(reply.from, to);
    QCOMPARE(reply.to, tool);
    QCOMPARE(reply.to_port, tool_port);
    const auto parts = split_string(reply.bytes, ';');
    QCOMPARE(parts.size(), std::size_t(13));
    QCOMPARE(parts[0], std::string("network_response"));
    QCOMPARE(parts[10], int_to_ip(to));
}

void DevsimSimulatorTest::writeWithRightPassword_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QByteArray>("key");

    QTest::addRow("no password") << QByteArray("") << QByteArray("");
    QTest::addRow("one character") << QByteArray("7") << QByteArray("7");
    QTest::addRow("two characters") << QByteArray("ab") << QByteArray("ab");
    QTest::addRow("three characters") << QByteArray("x9z") << QByteArray("x9z");
    QTest::addRow("four characters") << QByteArray("1234") << QByteArray("1234");
    // '1' against the target's leading '1' gives zero bytes in the scrambled text.
    QTest::addRow("zero bytes in scrambled text") << QByteArray("10.1") << QByteArray("10.1");
    // "12" scrambles exactly as "1212" does, so the device cannot tell them apart.
    QTest::addRow("equivalent shorter key") << QByteArray("1212") << QByteArray("12");
}

void DevsimSimulatorTest::writeWithRightPassword()
{
    QFETCH(QByteArray, password);
    QFETCH(QByteArray, key);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    auto devices = make_devices(2, 0, password.toStdString());
    Simulator sim(devices, {3000ms, dir.path().toStdString()});
    const std::string target = "10.101.0.2";
    const auto plain = plain_write(target, WriteValues{});

    const auto replies = send_all(sim, scrambled(plain, key.toStdString()));

    QCOMPARE(replies.size(), std::size_t(1));
    QCOMPARE(replies.front().bytes, std::string("Success"));
    QCOMPARE(int_to_ip(replies.front().from), target);
    QCOMPARE(replies.front().to, tool);
    const auto* stored = sim.files(ip_to_int(target));
    QVERIFY(stored);
    QCOMPARE(stored->size(), plain.size());
    for (const auto& message : plain) {
        const auto path = path_of(message);
        QCOMPARE(stored->at(path), content_of(message));
        const QString on_disk = dir.path() + u'/' + QString::fromStdString(target + path);
        QCOMPARE(read_file(on_disk), QByteArray::fromStdString(content_of(message)));
    }
    QCOMPARE(files_under(dir.path()).size(), plain.size());

    // The device now reports what was written, from after its restart on.
    const auto later = start + 3000ms;
    const auto settings = sim.handle(datagram("get_network", ip_to_int(target)), later);
    QCOMPARE(settings.replies.size(), std::size_t(1));
    QCOMPARE(settings.replies.front().bytes,
             std::string("network_response;no;Lab;wpa;pa55word;no;192.168.7.20;255.255.255.0;"
                         "192.168.7.1;yes;10.101.3.3;255.255.0.0;10.101.255.254;"));
    const auto search = sim.handle(datagram("find_QUORIX", 0xFFFFFFFFu), later);
    QCOMPARE(search.replies.size(), std::size_t(2));
    QCOMPARE(split_string(search.replies[1].bytes, ';')[7], std::string("Lab"));
}

void DevsimSimulatorTest::writeRefused_data()
{
    QTest::addColumn<QByteArray>("devicePassword");
    QTest::addColumn<QByteArrayList>("keys"); // one per message; the last one is the marker's
    QTest::addColumn<bool>("replacePath");
    QTest::addColumn<QByteArray>("badPath"); // replaces CONFIG_ETH.TXT's path

    const QByteArrayList six_wrong(6, "1235");
    QTest::addRow("wrong key of the same length")
        << QByteArray("1234") << six_wrong << false << QByteArray();
    QTest::addRow("shorter key") << QByteArray("1234") << QByteArrayList(6, "12") << false
                                 << QByteArray();
    QTest::addRow("repeating prefix of the password")
        << QByteArray("1212") << QByteArrayList(6, "121") << false << QByteArray();
    QTest::addRow("no key for a device with a password")
        << QByteArray("1234") << QByteArrayList(6, "") << false << QByteArray();
    QTest::addRow("a key for a device without password")
        << QByteArray("") << QByteArrayList(6, "1") << false << QByteArray();
    QTest::addRow("only the marker right")
        << QByteArray("1234") << (QByteArrayList(5, "9999") << "1234") << false << QByteArray();
    QTest::addRow("one message wrong")
        << QByteArray("1234") << QByteArrayList{"1234", "1234", "4321", "1234", "1234", "1234"}
        << false << QByteArray();
    QTest::addRow("path with ..") << QByteArray("1234") << QByteArrayList(6, "1234") << true
                                  << QByteArray("/Talvonex/../../../escape");
    QTest::addRow("relative path") << QByteArray("1234") << QByteArrayList(6, "1234") << true
                                   << QByteArray("Talvonex/CONFIG_ETH.TXT");
    QTest::addRow("empty path") << QByteArray("1234") << QByteArrayList(6, "1234") << true
                                << QByteArray("");
    QTest::addRow("directory path")
        << QByteArray("1234") << QByteArrayList(6, "1234") << true << QByteArray("/Talvonex/");
}

void DevsimSimulatorTest::writeRefused()
{
    QFETCH(QByteArray, devicePassword);
    QFETCH(QByteArrayList, keys);
    QFETCH(bool, replacePath);
    QFETCH(QByteArray, badPath);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Simulator sim(make_devices(1, 0, devicePassword.toStdString()),
                  {3000ms, dir.path().toStdString()});
    const std::string target = "10.101.0.1";
    auto plain = plain_write(target, WriteValues{});
    if (replacePath) {
        plain[1] = target + "\ncreate_file\n" + badPath.toStdString() + "\n[DHCP] Yes\n";
    }
    std::vector<std::string> messages;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        messages.push_back(scramble_text(plain[i], keys[static_cast<qsizetype>(i)].toStdString()));
    }
    const auto before = *sim.device(first_device);

    const auto replies = send_all(sim, messages);

    QCOMPARE(replies.size(), std::size_t(1));
    QCOMPARE(replies.front().bytes, std::string("Error"));
    QCOMPARE(replies.front().from, first_device);
    QVERIFY(sim.files(first_device)->empty());
    QCOMPARE(files_under(dir.path()), QStringList());
    QCOMPARE(sim.device(first_device)->settings, before.settings);
    // No restart after an error: the device keeps answering.
    QCOMPARE(sim.handle(datagram("find_QUORIX", 0xFFFFFFFFu), start).replies.size(),
             std::size_t(1));
    QVERIFY(!sim.next_restart_end());
}

void DevsimSimulatorTest::messageForAnotherDevice()
{
    Simulator sim(make_devices(3), {});
    // Not simulated here: nobody answers and nothing is stored.
    auto result = send_all(sim, scrambled(plain_write("10.101.0.9", {}), "1234"));
    QVERIFY(result.empty());
    // For the second device only.
    result = send_all(sim, scrambled(plain_write("10.101.0.2", {}), "1234"));
    QCOMPARE(result.size(), std::size_t(1));
    QCOMPARE(int_to_ip(result.front().from), std::string("10.101.0.2"));
    QVERIFY(sim.files(first_device)->empty());
    QVERIFY(sim.files(first_device + 2)->empty());
    QCOMPARE(sim.files(first_device + 1)->size(), std::size_t(6));
}

void DevsimSimulatorTest::restartSilence()
{
    Simulator sim(make_devices(2), {1500ms, std::nullopt});
    const AddressValue written = first_device + 1;
    const auto replies = send_all(sim, scrambled(plain_write("10.101.0.2", {}), "1234"), start);
    QCOMPARE(replies.size(), std::size_t(1));
    QCOMPARE(sim.next_restart_end(), std::optional(start + 1500ms));

    const auto during = start + 1499ms;
    const auto search = sim.handle(datagram("find_QUORIX", 0xFFFFFFFFu), during);
    QCOMPARE(search.replies.size(), std::size_t(1));
    QCOMPARE(search.replies.front().from, first_device);
    QVERIFY(sim.handle(datagram("get_network", written), during).replies.empty());
    QVERIFY(send_all(sim, scrambled(plain_write("10.101.0.2", {}), "1234"), during).empty());
    QVERIFY(sim.finish_restarts(during).empty());

    const auto after = start + 1500ms;
    QCOMPARE(sim.finish_restarts(after).size(), std::size_t(1));
    QVERIFY(!sim.next_restart_end());
    QCOMPARE(sim.handle(datagram("find_QUORIX", 0xFFFFFFFFu), after).replies.size(),
             std::size_t(2));
    QCOMPARE(sim.handle(datagram("get_network", written), after).replies.size(), std::size_t(1));
}

void DevsimSimulatorTest::garbageIgnored_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QTest::addRow("empty") << QByteArray();
    QTest::addRow("zero bytes") << QByteArray(64, '\0');
    QTest::addRow("search word in lower case") << QByteArray("find_quorix");
    QTest::addRow("own announcement") << QByteArray("im_QUORIX;QUORIX;x;");
    QTest::addRow("head without path line") << QByteArray("10.101.0.1\ncreate_file\n/Talvonex/x");
    QTest::addRow("head only") << QByteArray("10.101.0.1\ncreate_file\n");
    QTest::addRow("truncated target") << QByteArray("10.101.0.\ncreate_file\n/a\nb\n");
    QTest::addRow("all 0xff") << QByteArray(70000, '\xff');
    QByteArray noise(4096, '\0');
    for (int i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<char>((i * 7919 + 13) & 0xff);
    }
    QTest::addRow("noise") << noise;
}

void DevsimSimulatorTest::garbageIgnored()
{
    QFETCH(QByteArray, bytes);

    QTemporaryDir dir;
    Simulator sim(make_devices(3, 1), {3000ms, dir.path().toStdString()});
    for (const char* to : {"255.255.255.255", "10.101.0.1"}) {
        const auto result = sim.handle(datagram(bytes.toStdString(), ip_to_int(to)), start);
        QVERIFY(result.replies.empty());
    }
    QCOMPARE(files_under(dir.path()), QStringList());
}

QTEST_GUILESS_MAIN(DevsimSimulatorTest)
#include "tst_devsim_simulator.moc"
