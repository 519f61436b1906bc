#include "devsim/options.h"

#include "util/address.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace nimbrel;
using namespace nimbrel::devsim;
using namespace Qt::StringLiterals;

namespace {

// A loopback UDP socket on a port the system picks, closed on destruction.
class LoopbackSocket {
public:
    LoopbackSocket()
    {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof sa;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
            getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &length) == 0) {
            port_ = ntohs(sa.sin_port);
        }
        timeval timeout{2, 0};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    }
    ~LoopbackSocket() { close(fd_); }
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;

    std::uint16_t port() const { return port_; }

    bool send_to(std::uint16_t port, const QByteArray& bytes)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(port);
        return sendto(fd_, bytes.data(), std::size_t(bytes.size()), 0,
                      reinterpret_cast<sockaddr*>(&to), sizeof to) == bytes.size();
    }

    // One datagram and its sender address, or an empty text after the timeout.
    QByteArray receive(QString& sender)
    {
        QByteArray buffer(9000, '\0');
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const auto got = recvfrom(fd_, buffer.data(), std::size_t(buffer.size()), 0,
                                  reinterpret_cast<sockaddr*>(&from), &length);
        if (got < 0) {
            return {};
        }
        sender = QString::fromStdString(int_to_ip(ntohl(from.sin_addr.s_addr)));
        return buffer.left(got);
    }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

QStringList with_program(const QStringList& arguments)
{
    return QStringList{u"nimbrel-devsim"_s} + arguments;
}

QString write_file(const QTemporaryDir& dir, const QString& name, const QByteArray& text)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(text);
    }
    return path;
}

} // namespace

class DevsimOptionsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void goodArguments();
    void deviceFile();
    void badArguments_data();
    void badArguments();
    void programRefusesBadArguments_data();
    void programRefusesBadArguments();
    void programAnswersOnLoopback();

private:
    QTemporaryDir dir_;
    QString good_file_;
};

void DevsimOptionsTest::initTestCase()
{
    QVERIFY(dir_.isValid());
    good_file_ = write_file(dir_, u"good.json"_s, R"({"restart_ms": 500, "devices": [
        {"address": "10.1.0.5", "identifier": "A", "admin_password": "",
         "older_firmware": true, "answers_get_network": false,
         "settings": {"w_ssid": "Shop", "eth_dhcp": "yes"}},
        {"address": "10.1.0.6", "model": "OTHER"}]})");
    write_file(dir_, u"bad_json.json"_s, R"({"devices": [)");
    write_file(dir_, u"bad_address.json"_s, R"({"devices": [{"address": "10.1.0.256"}]})");
    write_file(dir_, u"no_address.json"_s, R"({"devices": [{"model": "QUORIX"}]})");
    write_file(dir_, u"duplicate.json"_s,
               R"({"devices": [{"address": "10.1.0.5"}, {"address": "10.1.0.5"}]})");
    write_file(dir_, u"long_password.json"_s,
               R"({"devices": [{"address": "10.1.0.5", "admin_password": "12345"}]})");
    write_file(dir_, u"unknown_key.json"_s,
               R"({"devices": [{"address": "10.1.0.5", "colour": 1}]})");
    write_file(dir_, u"unknown_setting.json"_s,
               R"({"devices": [{"address": "10.1.0.5", "settings": {"w_sid": "x"}}]})");
    write_file(dir_, u"wrong_type.json"_s,
               R"({"devices": [{"address": "10.1.0.5", "older_firmware": "yes"}]})");
    write_file(dir_, u"wrong_type_get_network.json"_s,
               R"({"devices": [{"address": "10.1.0.5", "answers_get_network": "no"}]})");
    write_file(dir_, u"negative_restart.json"_s, R"({"restart_ms": -1, "devices": []})");
    write_file(dir_, u"semicolon.json"_s,
               R"({"devices": [{"address": "10.1.0.5", "settings": {"w_ssid": "a;b"}}]})");
    write_file(dir_, u"array.json"_s, R"([{"address": "10.1.0.5"}])");
}

void DevsimOptionsTest::goodArguments()
{
    auto parsed = parse_command_line(with_program({}));
    QVERIFY2(parsed.options, parsed.error.c_str());
    QCOMPARE(parsed.options->devices.size(), std::size_t(1));
    QCOMPARE(int_to_ip(parsed.options->devices[0].address), std::string("10.101.0.1"));
    QCOMPARE(parsed.options->port, std::uint16_t(12340));
    QCOMPARE(parsed.options->bind_address, AddressValue(0));
    QVERIFY(!parsed.options->share_port);
    QVERIFY(parsed.options->devices[0].answers_get_network);

    parsed = parse_command_line(with_program({u"--share-port"_s}));
    QVERIFY2(parsed.options, parsed.error.c_str());
    QVERIFY(parsed.options->share_port);

    parsed = parse_command_line(with_program({u"--count"_s, u"2"_s, u"--ignore-get-network"_s}));
    QVERIFY2(parsed.options, parsed.error.c_str());
    QCOMPARE(parsed.options->devices.size(), std::size_t(2));
    QVERIFY(!parsed.options->devices[0].answers_get_network);
    QVERIFY(!parsed.options->devices[1].answers_get_network);

    parsed = parse_command_line(with_program(
        {u"--count"_s, u"4"_s, u"--first-address"_s, u"10.2.0.254"_s, u"--older-firmware"_s, u"1"_s,
         u"--admin-password"_s, u""_s, u"--settings"_s,
         u"yes;Net;wep;k;no;1.1.1.1;255.0.0.0;1.1.1.2;yes;2.2.2.2;255.255.0.0;2.2.2.1;"_s,
         u"--setting"_s, u"w_ssid=Other"_s, u"--restart-ms"_s, u"0"_s, u"--bind"_s, u"127.0.0.1"_s,
         u"--port"_s, u"4000"_s}));
    QVERIFY2(parsed.options, parsed.error.c_str());
    const auto& devices = parsed.options->devices;
    QCOMPARE(devices.size(), std::size_t(4));
    QCOMPARE(int_to_ip(devices[3].address), std::string("10.2.1.1"));
    QCOMPARE(devices[0].identifier, std::string("TVX-0001"));
    QCOMPARE(devices[3].identifier, std::string("TVX-0004"));
    QVERIFY(!devices[2].older_firmware);
    QVERIFY(devices[3].older_firmware);
    QCOMPARE(devices[1].admin_password, std::string());
    QCOMPARE(devices[1].settings.w_ssid, std::string("Other"));
    QCOMPARE(devices[1].settings.w_enc, std::string("wep"));
    QCOMPARE(devices[1].settings.eth_gw, std::string("2.2.2.1"));
    QCOMPARE(parsed.options->simulator.restart_time.count(), 0);
    QCOMPARE(int_to_ip(parsed.options->bind_address), std::string("127.0.0.1"));
    QCOMPARE(parsed.options->port, std::uint16_t(4000));
}

void DevsimOptionsTest::deviceFile()
{
    const auto parsed = parse_command_line(
        with_program({u"--config"_s, good_file_, u"--count"_s, u"1"_s, u"--first-address"_s,
                      u"10.1.0.7"_s, u"--identifier"_s, u"Mine"_s}));
    QVERIFY2(parsed.options, parsed.error.c_str());
    const auto& devices = parsed.options->devices;
    QCOMPARE(devices.size(), std::size_t(3));
    QCOMPARE(devices[0].identifier, std::string("A"));
    QVERIFY(devices[0].older_firmware);
    QCOMPARE(devices[0].admin_password, std::string());
    QVERIFY(!devices[0].answers_get_network);
    QVERIFY(devices[1].answers_get_network);
    QCOMPARE(devices[0].settings.w_ssid, std::string("Shop"));
    QCOMPARE(devices[0].settings.eth_dhcp, std::string("yes"));
    QCOMPARE(devices[0].settings.eth_ip, std::string("10.1.0.5"));
    QCOMPARE(devices[1].model, std::string("OTHER"));
    QCOMPARE(devices[1].admin_password, std::string("1234"));
    QCOMPARE(devices[2].identifier, std::string("Mine"));
    QCOMPARE(parsed.options->simulator.restart_time.count(), 500);
}

void DevsimOptionsTest::badArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message"); // a piece of the error text

    QTest::addRow("unknown option") << QStringList{u"--colour"_s} << u"colour"_s;
    QTest::addRow("positional argument") << QStringList{u"extra"_s} << u"extra"_s;
    QTest::addRow("password of 5")
        << QStringList{u"--admin-password"_s, u"12345"_s} << u"password"_s;
    QTest::addRow("bad first address")
        << QStringList{u"--first-address"_s, u"10.1.1"_s} << u"first-address"_s;
    QTest::addRow("multicast address")
        << QStringList{u"--first-address"_s, u"224.0.0.1"_s} << u"unicast"_s;
    QTest::addRow("count not a number") << QStringList{u"--count"_s, u"many"_s} << u"count"_s;
    QTest::addRow("count too big") << QStringList{u"--count"_s, u"100000"_s} << u"count"_s;
    QTest::addRow("zero devices") << QStringList{u"--count"_s, u"0"_s} << u"no devices"_s;
    QTest::addRow("addresses past the end")
        << QStringList{u"--count"_s, u"3"_s, u"--first-address"_s, u"223.255.255.255"_s}
        << u"unicast"_s;
    QTest::addRow("older than count")
        << QStringList{u"--count"_s, u"2"_s, u"--older-firmware"_s, u"3"_s} << u"older-firmware"_s;
    QTest::addRow("port 0") << QStringList{u"--port"_s, u"0"_s} << u"port"_s;
    QTest::addRow("port too big") << QStringList{u"--port"_s, u"65536"_s} << u"port"_s;
    QTest::addRow("bad bind address") << QStringList{u"--bind"_s, u"localhost"_s} << u"bind"_s;
    QTest::addRow("negative restart") << QStringList{u"--restart-ms"_s, u"-5"_s} << u"restart-ms"_s;
    QTest::addRow("11 settings") << QStringList{u"--settings"_s, u"a;b;c;d;e;f;g;h;i;j;k;"_s}
                                 << u"12 values"_s;
    QTest::addRow("unknown setting") << QStringList{u"--setting"_s, u"w_sid=x"_s} << u"--setting"_s;
    QTest::addRow("setting without =")
        << QStringList{u"--setting"_s, u"w_ssid"_s} << u"--setting"_s;
    QTest::addRow("semicolon in identifier")
        << QStringList{u"--identifier"_s, u"a;b"_s} << u"identifier"_s;
    QTest::addRow("semicolon in a setting")
        << QStringList{u"--setting"_s, u"w_ssid=a;b"_s} << u"w_ssid"_s;
    QTest::addRow("identifier of 256")
        << QStringList{u"--identifier"_s, QString(256, u'x')} << u"longer than 255"_s;
    QTest::addRow("non-ASCII model") << QStringList{u"--model"_s, u"Qü"_s} << u"ASCII"_s;
    QTest::addRow("missing file") << QStringList{u"--config"_s, u"/nonexistent/devices.json"_s}
                                  << u"cannot read"_s;
    const QStringList files{u"bad_json"_s,        u"bad_address"_s,   u"no_address"_s,
                            u"duplicate"_s,       u"long_password"_s, u"unknown_key"_s,
                            u"unknown_setting"_s, u"wrong_type"_s,    u"negative_restart"_s,
                            u"semicolon"_s,       u"array"_s,         u"wrong_type_get_network"_s};
    const QStringList messages{u"bad JSON"_s,  u"address"_s,        u"address"_s,
                               u"duplicate"_s, u"password"_s,       u"colour"_s,
                               u"w_sid"_s,     u"older_firmware"_s, u"restart_ms"_s,
                               u"w_ssid"_s,    u"object"_s,         u"answers_get_network"_s};
    for (qsizetype i = 0; i < files.size(); ++i) {
        QTest::addRow("file %s", qPrintable(files[i]))
            << QStringList{u"--config"_s, u"%1.json"_s.arg(files[i])} << messages[i];
    }
    QTest::addRow("file and flags share an address")
        << QStringList{u"--config"_s, u"good.json"_s,       u"--count"_s,
                       u"1"_s,        u"--first-address"_s, u"10.1.0.6"_s}
        << u"duplicate"_s;
}

void DevsimOptionsTest::badArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    for (auto& argument : arguments) {
        if (argument.endsWith(u".json"_s) && !argument.startsWith(u'/')) {
            argument = dir_.filePath(argument);
        }
    }
    const auto parsed = parse_command_line(with_program(arguments));
    QVERIFY(!parsed.options);
    QVERIFY(!parsed.show_help);
    QVERIFY2(QString::fromStdString(parsed.error).contains(message), parsed.error.c_str());
}

void DevsimOptionsTest::programRefusesBadArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::addRow("unknown option") << QStringList{u"--colour"_s} << u"colour"_s;
    QTest::addRow("password of 5")
        << QStringList{u"--admin-password"_s, u"12345"_s} << u"password"_s;
    QTest::addRow("bad JSON") << QStringList{u"--config"_s, u"bad_json.json"_s} << u"bad JSON"_s;
    QTest::addRow("duplicate address")
        << QStringList{u"--config"_s, u"duplicate.json"_s} << u"duplicate"_s;
    QTest::addRow("missing file") << QStringList{u"--config"_s, u"missing.json"_s}
                                  << u"cannot read"_s;
}

void DevsimOptionsTest::programRefusesBadArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    // The test holds the port: a program that opened its socket before checking its arguments
    // would fail to bind and exit with 1 instead of 2.
    LoopbackSocket held;
    QVERIFY(held.port() != 0);
    for (auto& argument : arguments) {
        if (argument.endsWith(u".json"_s)) {
            argument = dir_.filePath(argument);
        }
    }
    arguments << u"--bind"_s << u"127.0.0.1"_s << u"--port"_s << QString::number(held.port());

    QProcess process;
    process.start(QStringLiteral(NIMBREL_DEVSIM_PATH), arguments);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    const QString error = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(error.contains(message), qPrintable(error));
    QVERIFY(process.readAllStandardOutput().isEmpty());
}

void DevsimOptionsTest::programAnswersOnLoopback()
{
    LoopbackSocket client;
    std::uint16_t port = 0;
    {
        LoopbackSocket probe; // picks a free port for the simulator
        port = probe.port();
    }
    QProcess process;
    process.start(QStringLiteral(NIMBREL_DEVSIM_PATH),
                  {u"--bind"_s, u"127.0.0.1"_s, u"--port"_s, QString::number(port), u"--count"_s,
                   u"3"_s, u"--first-address"_s, u"127.0.0.2"_s, u"--older-firmware"_s, u"1"_s});
    QVERIFY(process.waitForStarted());
    QVERIFY(process.waitForReadyRead(10000));
    QVERIFY(process.readLine().startsWith("started with 3 devices on 127.0.0.1:"));

    QVERIFY(client.send_to(port, "find_QUORIX"));
    QStringList senders;
    for (int i = 0; i < 3; ++i) {
        QString sender;
        const QByteArray announcement = client.receive(sender);
        QVERIFY2(announcement.startsWith("im_QUORIX;"), announcement.constData());
        QCOMPARE(announcement.count(';'), sender == u"127.0.0.4"_s ? 2 : 18);
        senders << sender;
    }
    senders.sort();
    QCOMPARE(senders, (QStringList{u"127.0.0.2"_s, u"127.0.0.3"_s, u"127.0.0.4"_s}));

    process.terminate();
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    const QByteArray output = process.readAllStandardOutput();
    QVERIFY2(output.contains("answered search from 127.0.0.1:" + QByteArray::number(client.port()) +
                             " with 3 announcements"),
             output.constData());
    QVERIFY2(output.contains("stopped by signal 15"), output.constData());
}

QTEST_GUILESS_MAIN(DevsimOptionsTest)
#include "tst_devsim_options.moc"
