// The Debian package as a user's system receives it: the files it installs, its control fields
// and dependencies, release binaries, and desktop files that validate and point at each other.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

const QString kDesktopEntry = QStringLiteral("usr/share/applications/nimbrel.desktop");
const QString kIconDir = QStringLiteral("usr/share/icons/hicolor/scalable/apps");
const QString kMetainfo = QStringLiteral("usr/share/metainfo/io.talvonex.Nimbrel.metainfo.xml");

struct Result {
    int exitCode = -1;
    QString output; // standard output and error together
};

Result run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, QStringLiteral("%1 did not finish: %2").arg(program, process.errorString())};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAll())};
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The value of a "Key=value" line of the desktop entry's main group.
QString desktopValue(const QString& text, const QString& key)
{
    const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(QRegularExpression::escape(key)),
                                  QRegularExpression::MultilineOption);
    return line.match(text).captured(1).trimmed();
}

} // namespace

class PackageTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void installsFile_data();
    void installsFile();
    void installsNothingElse();
    void controlField_data();
    void controlField();
    void dependsOn_data();
    void dependsOn();
    void binaryIsReleaseBuild_data();
    void binaryIsReleaseBuild();
    void installedSimulatorRuns();
    void desktopEntryValidates();
    void desktopEntryPointsAtInstalledFiles();
    void metainfoValidates();
    void metainfoMatchesThePackage();

private:
    QString installed(const QString& path) const { return tree_.filePath(path); }

    QString package_;
    QTemporaryDir tree_;
};

void PackageTest::initTestCase()
{
    package_ = qEnvironmentVariable("NIMBREL_PACKAGE");
    QVERIFY2(QFileInfo::exists(package_), "NIMBREL_PACKAGE names no file; the build step failed?");
    QVERIFY(tree_.isValid());
    const Result unpacked = run(QStringLiteral("dpkg-deb"), {"-x", package_, tree_.path()});
    QVERIFY2(unpacked.exitCode == 0, qPrintable(unpacked.output));
}

void PackageTest::installsFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("source"); // the repository file it must equal, or empty
    QTest::addColumn<bool>("executable");
    const QString packaging = QStringLiteral(NIMBREL_SOURCE_DIR "/packaging/");
    QTest::addRow("program") << "usr/bin/nimbrel"
                             << "" << true;
    QTest::addRow("simulator") << "usr/bin/nimbrel-devsim"
                               << "" << true;
    QTest::addRow("desktop entry") << kDesktopEntry << packaging + "nimbrel.desktop" << false;
    QTest::addRow("icon") << kIconDir + "/nimbrel.svg" << packaging + "nimbrel.svg" << false;
    QTest::addRow("AppStream metadata")
        << kMetainfo << packaging + "io.talvonex.Nimbrel.metainfo.xml" << false;
    QTest::addRow("licence") << "usr/share/doc/nimbrel/copyright"
                             << QStringLiteral(NIMBREL_SOURCE_DIR "/LICENSE") << false;
}

void PackageTest::installsFile()
{
    QFETCH(QString, path);
    QFETCH(QString, source);
    QFETCH(bool, executable);
    const QFileInfo file(installed(path));
    QVERIFY2(file.isFile(), qPrintable(path));
    QCOMPARE(file.isExecutable(), executable);
    QVERIFY(file.size() > 0);
    if (!source.isEmpty())
        QCOMPARE(readFile(file.filePath()), readFile(source));
}

void PackageTest::installsNothingElse()
{
    const QSet<QString> expected = {"usr/bin/nimbrel", "usr/bin/nimbrel-devsim",
                                    kDesktopEntry,     kIconDir + "/nimbrel.svg",
                                    kMetainfo,         "usr/share/doc/nimbrel/copyright"};
    QDirIterator files(tree_.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QStringList unexpected;
    while (files.hasNext()) {
        const QString path = QDir(tree_.path()).relativeFilePath(files.next());
        if (!expected.contains(path))
            unexpected << path;
    }
    QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(QLatin1Char(' '))));
}

void PackageTest::controlField_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    const QString architecture =
        run(QStringLiteral("dpkg"), {"--print-architecture"}).output.trimmed();
    QTest::addRow("name") << "Package"
                          << "nimbrel";
    QTest::addRow("version") << "Version" << NIMBREL_VERSION;
    QTest::addRow("architecture") << "Architecture" << architecture;
    QTest::addRow("section") << "Section"
                             << "net";
}

void PackageTest::controlField()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    const Result read = run(QStringLiteral("dpkg-deb"), {"--field", package_, field});
    QCOMPARE(read.exitCode, 0);
    QCOMPARE(read.output.trimmed(), value);
}

void PackageTest::dependsOn_data()
{
    QTest::addColumn<QString>("dependency");
    QTest::addRow("Qt widgets") << "libqt6widgets6";
    QTest::addRow("Qt core, for the simulator too") << "libqt6core6";
    QTest::addRow("SVG icons, loaded as a plugin") << "libqt6svg6";
    QTest::addRow("C++ runtime") << "libstdc++6";
}

void PackageTest::dependsOn()
{
    QFETCH(QString, dependency);
    const Result read = run(QStringLiteral("dpkg-deb"), {"--field", package_, "Depends"});
    QCOMPARE(read.exitCode, 0);
    QStringList names;
    for (const QString& entry : read.output.split(QLatin1Char(',')))
        names << entry.trimmed().section(QLatin1Char(' '), 0, 0);
    QVERIFY2(names.contains(dependency), qPrintable(read.output));
}

void PackageTest::binaryIsReleaseBuild_data()
{
    QTest::addColumn<QString>("path");
    QTest::addRow("program") << "usr/bin/nimbrel";
    QTest::addRow("simulator") << "usr/bin/nimbrel-devsim";
}

// Not the sanitizer-instrumented test build, and stripped.
void PackageTest::binaryIsReleaseBuild()
{
    QFETCH(QString, path);
    const QByteArray binary = readFile(installed(path));
    QVERIFY(!binary.isEmpty());
    QVERIFY(!binary.contains("__asan_init"));
    QVERIFY(!binary.contains("__ubsan_handle"));
    QVERIFY(!binary.contains(".symtab"));
}

void PackageTest::installedSimulatorRuns()
{
    const Result help = run(installed(QStringLiteral("usr/bin/nimbrel-devsim")), {"--help"});
    QCOMPARE(help.exitCode, 0);
    QVERIFY2(help.output.contains(QStringLiteral("--count")), qPrintable(help.output));
}

void PackageTest::desktopEntryValidates()
{
    const Result check = run(QStringLiteral("desktop-file-validate"), {installed(kDesktopEntry)});
    QVERIFY2(check.exitCode == 0, qPrintable(check.output));
    QVERIFY2(!check.output.contains(QStringLiteral("error")), qPrintable(check.output));
}

void PackageTest::desktopEntryPointsAtInstalledFiles()
{
    const QString entry = QString::fromUtf8(readFile(installed(kDesktopEntry)));
    const QString program = desktopValue(entry, QStringLiteral("Exec")).section(' ', 0, 0);
    QVERIFY(QFileInfo(installed("usr/bin/" + program)).isExecutable());
    const QString icon = desktopValue(entry, QStringLiteral("Icon"));
    QVERIFY(QFileInfo::exists(installed(kIconDir + "/" + icon + ".svg")));
    // X11 window managers match the window to its entry by the class, the program's name.
    QCOMPARE(desktopValue(entry, QStringLiteral("StartupWMClass")), program);
}

void PackageTest::metainfoValidates()
{
    const Result check =
        run(QStringLiteral("appstreamcli"), {"validate", "--no-net", installed(kMetainfo)});
    QVERIFY2(check.exitCode == 0, qPrintable(check.output));
}

void PackageTest::metainfoMatchesThePackage()
{
    QXmlStreamReader xml(readFile(installed(kMetainfo)));
    QString id;
    QString launchable;
    QString release;
    QStringList binaries;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto name = xml.name();
        if (name == QLatin1String("release") && release.isEmpty())
            release = xml.attributes().value(QLatin1String("version")).toString();
        else if (name == QLatin1String("id"))
            id = xml.readElementText();
        else if (name == QLatin1String("launchable"))
            launchable = xml.readElementText();
        else if (name == QLatin1String("binary"))
            binaries << xml.readElementText();
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(id + ".metainfo.xml", QFileInfo(kMetainfo).fileName());
    QCOMPARE(launchable, QFileInfo(kDesktopEntry).fileName());
    QCOMPARE(release, QStringLiteral(NIMBREL_VERSION));
    QCOMPARE(binaries.size(), 2);
    for (const QString& binary : binaries)
        QVERIFY2(QFileInfo(installed("usr/bin/" + binary)).isExecutable(), qPrintable(binary));
}

QTEST_GUILESS_MAIN(PackageTest)
#include "tst_package.moc"
