// tarnvale-webserver --network-link: a KML 2.2 network link to the station's map, with the port the
// settings file gives as the start-up would take it, printed without running the station or touching
// the settings file.
#include "program/networklink.h"
#include "core/station/settingsfile.h"
#include "support/settingsfolder.h"
#include "core/web/urlhost.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <utility>

namespace {

// What a map viewer reads of the link: the elements under NetworkLink and its Link, in document order.
struct ReadLink
{
    QString error;
    QStringList order; // element names below kml, in order
    QMap<QString, QString> text;
};

ReadLink readLink(const QByteArray& document)
{
    ReadLink link;
    QXmlStreamReader xml(document);
    const QString kml22 = QStringLiteral("http://www.opengis.net/kml/2.2");
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.namespaceUri() != kml22)
            link.error = QStringLiteral("%1 outside the KML 2.2 namespace").arg(xml.name());
        const QString name = xml.name().toString();
        if (name == QStringLiteral("kml"))
            continue;
        link.order << name;
        if (name != QStringLiteral("NetworkLink") && name != QStringLiteral("Link"))
            link.text[name] = xml.readElementText();
    }
    if (xml.hasError())
        link.error = xml.errorString();
    return link;
}

QStringList settingsWithPortDigits(const QString& digits)
{
    QStringList lines = station::defaultSettingsLines();
    for (int i = 0; i < 5; ++i)
        lines[1 + i] = digits.mid(i, 1);
    return lines;
}

TEST(NetworkLink, ThePortIsTheOneTheStartUpWouldListenOn)
{
    testsupport::SettingsFolder folder;
    struct Case
    {
        QStringList lines;
        int port;
        const char* warning; // part of the warning, or nullptr for none
        bool listened = true; // whether a station listens on the file's port at all
    };
    QStringList digitTwelve = settingsWithPortDigits(QStringLiteral("20000"));
    digitTwelve[2] = QStringLiteral(" 12 "); // thousands: the digit check puts 5 there
    QStringList refusedComPort = settingsWithPortDigits(QStringLiteral("20000"));
    refusedComPort[0] = QStringLiteral(" 0 ");
    const Case cases[] = {
        {settingsWithPortDigits(QStringLiteral("20000")), 20000, nullptr},
        {settingsWithPortDigits(QStringLiteral("08080")), 8080, nullptr},
        {settingsWithPortDigits(QStringLiteral("00001")), 1, nullptr},
        {digitTwelve, 25000, nullptr},
        {settingsWithPortDigits(QStringLiteral("65536")), 10000, "65536", false},
        {settingsWithPortDigits(QStringLiteral("00000")), 10000, "00000", false},
        {settingsWithPortDigits(QStringLiteral("20000")).mid(0, 25), 10000, "damaged"},
        {refusedComPort, 10000, "damaged"},
    };
    for (const Case& c : cases) {
        folder.writeLines(c.lines);
        const station::LinkPort port = station::websitePortForLink(folder.settingsFile());
        EXPECT_EQ(port.port, c.port) << c.lines.mid(0, 6).join(u'|').toStdString();
        // A live map on 10000 does not clash with a website port no station can listen on.
        EXPECT_EQ(port.listened, c.listened) << c.lines.mid(0, 6).join(u'|').toStdString();
        if (c.warning) {
            EXPECT_TRUE(port.warning.contains(QLatin1String(c.warning))) << port.warning.toStdString();
            EXPECT_TRUE(port.warning.contains(QStringLiteral("10000"))) << port.warning.toStdString();
        } else {
            EXPECT_TRUE(port.warning.isEmpty()) << port.warning.toStdString();
        }
    }
    QFile::remove(folder.settingsFile());
    const station::LinkPort missing = station::websitePortForLink(folder.settingsFile());
    EXPECT_EQ(missing.port, 10000);
    EXPECT_TRUE(missing.warning.contains(QStringLiteral("does not exist"))) << missing.warning.toStdString();
    EXPECT_FALSE(QFile::exists(folder.settingsFile()));

    // A FIFO in the file's place is not waited on.
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.settingsFile()).constData(), 0600), 0);
    const station::LinkPort fifo = station::websitePortForLink(folder.settingsFile());
    EXPECT_EQ(fifo.port, 10000);
    EXPECT_TRUE(fifo.warning.contains(QStringLiteral("is a FIFO, not a regular file"))) << fifo.warning.toStdString();
}

// The real programs, as an operator runs them from a shell.
class NetworkLinkProgram : public ::testing::Test
{
protected:
    struct Run
    {
        int status = -1;
        QByteArray out;
        QByteArray err;
    };

    Run run(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(env);
        process.start(program, arguments);
        Run result;
        if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit)
            return result;
        result.status = process.exitCode();
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        return result;
    }

    QTemporaryDir home;
};

TEST_F(NetworkLinkProgram, PrintsTheLinkAndLeavesTheSettingsFileAsItWas)
{
    QTemporaryDir settingsDir;
    const QString file = settingsDir.filePath(QStringLiteral("Tarnvale_Demo.ini"));
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(settingsWithPortDigits(QStringLiteral("08080")).join(QStringLiteral("\r\n")).toLatin1() + "\r\n");
    }
    const QDateTime past = QDateTime::currentDateTimeUtc().addDays(-3);
    {
        QFile touch(file);
        ASSERT_TRUE(touch.open(QIODevice::ReadWrite));
        ASSERT_TRUE(touch.setFileTime(past, QFileDevice::FileModificationTime));
    }
    const QByteArray before = [&] { QFile f(file); return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(); }();

    const std::tuple<QString, const char*, const char*> runs[] = {
        {QStringLiteral(TARNVALE_EXECUTABLE), "df-base.example", "http://df-base.example:8080/"},
        {QStringLiteral(TARNVALE_WINDOWS_EXECUTABLE), "fe80::1%eth0", "http://[fe80::1%25eth0]:8080/"},
        {QStringLiteral(TARNVALE_EXECUTABLE), "[fe80::1%25eth0]", "http://[fe80::1%25eth0]:8080/"},
    };
    for (const auto& [program, host, href] : runs) {
        const Run r = run(program, {"--network-link", "--settings-dir", settingsDir.path(), "--host", host,
                                    "--refresh", "05.50"});
        ASSERT_EQ(r.status, 0) << program.toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
        const ReadLink link = readLink(r.out);
        ASSERT_TRUE(link.error.isEmpty()) << link.error.toStdString() << r.out.toStdString();
        // KML 2.2's elements in the order its schema sets.
        EXPECT_EQ(link.order, (QStringList{"NetworkLink", "name", "flyToView", "Link", "href", "refreshMode",
                                           "refreshInterval", "viewRefreshMode"}));
        EXPECT_EQ(link.text["href"], QLatin1String(href));
        EXPECT_EQ(link.text["refreshInterval"], QStringLiteral("5.5"));
        EXPECT_EQ(link.text["refreshMode"], QStringLiteral("onInterval"));
        EXPECT_EQ(link.text["flyToView"], QStringLiteral("0")); // the viewer's view stays where it is
    }
    EXPECT_EQ(QFileInfo(file).lastModified().toUTC(), past);
    QFile after(file);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
    EXPECT_EQ(QDir(settingsDir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{QStringLiteral("Tarnvale_Demo.ini")});
}

TEST_F(NetworkLinkProgram, WithoutASettingsFileItWarnsUsesPort10000AndCreatesNothing)
{
    const Run r = run(QStringLiteral(TARNVALE_EXECUTABLE), {"--network-link", "--host", "192.0.2.7"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(readLink(r.out).text["href"], QStringLiteral("http://192.0.2.7:10000/"));
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("10000")) << r.err.toStdString();
    EXPECT_TRUE(QDir(home.path()).isEmpty()) << "the settings folder was made";
}

TEST_F(NetworkLinkProgram, TheDefaultHostIsThisMachinesName)
{
    const Run r = run(QStringLiteral(TARNVALE_EXECUTABLE), {"--network-link"});
    const std::optional<QString> expected = web::urlHost(QSysInfo::machineHostName());
    if (!expected) {
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.err.contains("--host")) << r.err.toStdString();
        return;
    }
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(readLink(r.out).text["href"], QStringLiteral("http://%1:10000/").arg(*expected));
}

TEST_F(NetworkLinkProgram, WithFixItLinksToTheFixOnTheLiveMapsPortAndReadsNoSettings)
{
    QTemporaryDir settingsDir;
    const Run r = run(QStringLiteral(TARNVALE_EXECUTABLE), {"--network-link", "--fix", "8080", "--host", "fe80::1%eth0",
                                                            "--settings-dir", settingsDir.path()});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString(); // no settings file, and no word about it
    const ReadLink link = readLink(r.out);
    ASSERT_TRUE(link.error.isEmpty()) << link.error.toStdString();
    EXPECT_EQ(link.order, (QStringList{"NetworkLink", "name", "flyToView", "Link", "href", "refreshMode",
                                       "refreshInterval", "viewRefreshMode"}));
    EXPECT_EQ(link.text["href"], QStringLiteral("http://[fe80::1%25eth0]:8080/fix.kml"));
    EXPECT_EQ(link.text["refreshInterval"], QStringLiteral("2"));
    EXPECT_TRUE(QDir(settingsDir.path()).isEmpty());
}

TEST_F(NetworkLinkProgram, BadValuesAreAUsageErrorWithNothingPrinted)
{
    // Each with the option the line names first.
    const std::pair<QStringList, QString> cases[] = {
        {{"--network-link", "--refresh", "0"}, "--refresh"},
        {{"--network-link", "--refresh", "fast"}, "--refresh"},
        {{"--network-link", "--host", ""}, "--host"},
        {{"--network-link", "--host", "my station"}, "--host"},
        {{"--host", "station.example"}, "--host"},
        {{"--refresh", "2"}, "--refresh"},
        {{"--bearing-log", ""}, "--bearing-log"},
        // The link is printed instead of running a station: station options would be lost.
        {{"--network-link", "--headless"}, "--headless"},
        {{"--network-link", "--web-map", "8080"}, "--web-map"},
        {{"--network-link", "--bearing-log", "bearings.csv"}, "--bearing-log"},
        {{"--network-link", "--web-map", "8080", "--tiles", "https://tiles.example/{z}/{x}/{y}.png"}, "--web-map"},
    };
    for (const auto& [arguments, option] : cases) {
        const Run r = run(QStringLiteral(TARNVALE_EXECUTABLE), arguments);
        EXPECT_EQ(r.status, 2) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("tarnvale-webserver: %1: ").arg(option).toLocal8Bit())) << r.err.toStdString();
        EXPECT_TRUE(r.err.endsWith("\nTry 'tarnvale-webserver --help'.\n")) << r.err.toStdString();
        EXPECT_EQ(r.err.count('\n'), 2) << r.err.toStdString();
    }
    EXPECT_TRUE(QDir(home.path()).isEmpty());
}

} // namespace
