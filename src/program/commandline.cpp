#include "commandline.h"

#include "networklink.h"

#include "platform/connectionrules.h"
#include "core/web/urlhost.h"

#include <QCommandLineParser>
#include <QUrl>

#include <cstdio>
#include <utility>

namespace station {

namespace {

// Options of QGuiApplication and QApplication that take a value, and those that do not.
const char* const kQtValueOptions[] = {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                                       "geometry", "qwindowtitle", "title", "qwindowicon", "icon", "session",
                                       "style", "stylesheet", "display", "name", "qmljsdebugger", "dialogs"};
const char* const kStationValueOptions[] = {"settings-dir", "bearing-log", "host", "refresh", "web-map", "tiles",
                                            "peer", "bearing-spread", "history", "fix"};
constexpr qsizetype kMaxPeers = 16;
const char* const kQtFlagOptions[] = {"reverse", "widgetcount", "testability", "nograb", "dograb", "sync", "visual"};

const char kUsage[] = R"(Usage: tarnvale-webserver [options]

The base station of a radio direction finder: reads bearings from a DF unit on a serial port and
serves them as a KML map document on the website port set in the settings.

Options:
  --headless            Run without windows, as a service: messages go to standard error and are
                        answered at once; a website port that cannot be used ends the run (status 3).
  --settings-dir DIR    Keep Tarnvale_Demo.ini and the COMn links in DIR (created when missing)
                        instead of the per-user configuration folder's Tarnvale folder.
  --bearing-log FILE    Append a CSV line to FILE for every bearing drawn on the map (time in UTC,
                        DF or TEST, bearing, calibration, station, end point). A file renamed or
                        removed (log rotation) is started again at the same path. FILE must be new,
                        empty or a bearing log already: anything else is refused (status 1).
  --network-link        Print a KML network link to this station's map and exit, without starting
                        the station: save it as a .kml file and open it in the map viewer. The port
                        is read from the settings file, which is left as it is. Not with --headless,
                        --bearing-log, --web-map, --tiles, --peer, --bearing-spread or --history.
    --host NAME         The station's host name or address in the link (default: this machine's
                        host name); an IPv6 address is written in brackets.
    --refresh SECONDS   How often the viewer fetches the map again (default 2).
    --fix PORT          Link to the transmitter's fix (/fix.kml) on the live map's PORT instead.
  --web-map PORT        Also serve a live map page on PORT (every interface), for any browser: the
                        station, its bearing line and the DF state, updated as they change. PORT
                        must differ from the website port; one that cannot be used ends the run
                        (status 3).
  --tiles URL           The live map's base map tiles: an http or https address with {z}, {x} and
                        {y} in it (default: OpenStreetMap's standard tiles).
  --peer URL            Another station's map, read every second for the fix: its website port or
                        its live map, an http address; up to 16, one --peer each.
  --bearing-spread DEGREES
                        The bearings' standard deviation for the fix, 0.1 to 45 (default 3).
  --history MINUTES     How long the live map keeps the bearings drawn (the newest 300 at most),
                        1 to 300 (default 30).
  -h, --help            Show this help and exit.
  -v, --version         Show the version and exit.

The windowed station also takes Qt's own options, such as -platform offscreen.

Exit status: 0 after an orderly shutdown (closing the window, SIGTERM, SIGINT or SIGHUP);
1 when the settings file can be neither read nor created, or could not be written, or its path is
no regular file (a FIFO, a device, a folder), when the --bearing-log file is not a bearing log, or
when the windows cannot be shown (no display, or the windowed station not installed); 2 for a usage
error (one line naming the option and what is wrong, on standard error); 3 when a headless station
cannot use its website port, or a station its live map port.
)";

void print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

// A tile address as map libraries take it: http(s)://host/.../{z}/{x}/{y}.png and the like.
bool isTileAddress(const QString& text)
{
    const QUrl url(text);
    const bool web = url.scheme() == QStringLiteral("http") || url.scheme() == QStringLiteral("https");
    return url.isValid() && web && !url.host().isEmpty() && text.contains(QStringLiteral("{z}"))
        && text.contains(QStringLiteral("{x}")) && text.contains(QStringLiteral("{y}"));
}

// A text as a log line or an error shows it: printable ASCII kept, anything else percent-encoded.
QString escaped(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text, "!$&'()*+,;=:/?#[]@~{}<>\"^`|"));
}

// Why `text` cannot be a peer's address, or nothing: an http address with a host, no user name or
// password (the address is shown in the log and on the map).
QString peerProblem(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QStringLiteral("http") || url.host().isEmpty() || url.port() == 0)
        return QStringLiteral("needs an http address with a host, not '%1'").arg(escaped(text));
    if (!url.userInfo().isEmpty())
        return QStringLiteral("takes no user name or password in the address '%1'").arg(escaped(text));
    return {};
}

// The argument the parser stopped at, as "<option>: <what is wrong>". The parser's own text names the
// option inside a sentence; the names it could not use and the arguments given tell the same plainly.
QString parseError(const QCommandLineParser& parser, const QStringList& arguments)
{
    const QStringList options = arguments.mid(1);
    const auto typed = [&options](const QString& name) {
        for (const QString& argument : options) {
            const QString bare = argument.section(u'=', 0, 0);
            if (bare == QStringLiteral("--") + name || bare == QStringLiteral("-") + name)
                return bare;
        }
        return QStringLiteral("--") + name;
    };
    if (!parser.unknownOptionNames().isEmpty())
        return typed(parser.unknownOptionNames().constFirst()) + QStringLiteral(": unknown option");
    const auto takesValue = [](const QString& name) {
        for (const char* valueOption : kStationValueOptions) {
            if (name == QLatin1String(valueOption))
                return true;
        }
        for (const char* valueOption : kQtValueOptions) {
            if (name == QLatin1String(valueOption))
                return true;
        }
        return false;
    };
    for (qsizetype i = 0; i < options.size(); ++i) {
        const QString& argument = options.at(i);
        if (argument == QStringLiteral("--"))
            break;
        if (argument.size() < 2 || !argument.startsWith(u'-'))
            continue;
        const QString bare = argument.section(u'=', 0, 0);
        const bool withValue = argument.contains(u'=');
        if (!takesValue(bare.mid(bare.startsWith(QStringLiteral("--")) ? 2 : 1))) {
            if (withValue)
                return bare + QStringLiteral(": takes no value");
        } else if (!withValue && i + 1 >= options.size()) {
            return bare + QStringLiteral(": needs a value");
        } else if (!withValue) {
            ++i; // the option's value, whatever it looks like
        }
    }
    return parser.errorText();
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    // "-platform offscreen", as Qt itself reads it.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption headless(QStringLiteral("headless"));
    const QCommandLineOption settingsDir(QStringLiteral("settings-dir"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption bearingLog(QStringLiteral("bearing-log"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption networkLink(QStringLiteral("network-link"));
    const QCommandLineOption host(QStringLiteral("host"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption refresh(QStringLiteral("refresh"), QString(), QStringLiteral("SECONDS"));
    const QCommandLineOption webMap(QStringLiteral("web-map"), QString(), QStringLiteral("PORT"));
    const QCommandLineOption tiles(QStringLiteral("tiles"), QString(), QStringLiteral("URL"));
    const QCommandLineOption peer(QStringLiteral("peer"), QString(), QStringLiteral("URL"));
    const QCommandLineOption bearingSpread(QStringLiteral("bearing-spread"), QString(), QStringLiteral("DEGREES"));
    const QCommandLineOption history(QStringLiteral("history"), QString(), QStringLiteral("MINUTES"));
    const QCommandLineOption fix(QStringLiteral("fix"), QString(), QStringLiteral("PORT"));
    parser.addOptions({help, version, headless, settingsDir, bearingLog, networkLink, host, refresh, webMap, tiles,
                       peer, bearingSpread, history, fix});
    for (const char* name : kQtValueOptions)
        parser.addOption(QCommandLineOption(QLatin1String(name), QString(), QStringLiteral("value")));
    for (const char* name : kQtFlagOptions)
        parser.addOption(QCommandLineOption(QLatin1String(name)));

    CommandLine result;
    const auto usageError = [&result](const QString& error) {
        result.action = CommandLine::Action::UsageError;
        result.error = error;
        return result;
    };
    if (!parser.parse(arguments))
        return usageError(parseError(parser, arguments));
    if (!parser.positionalArguments().isEmpty())
        return usageError(parser.positionalArguments().constFirst() + QStringLiteral(": not an option (the station takes options only)"));
    if (parser.isSet(help))
        result.action = CommandLine::Action::Help;
    else if (parser.isSet(version))
        result.action = CommandLine::Action::Version;
    result.headless = parser.isSet(headless);
    result.platformGiven = parser.isSet(QStringLiteral("platform"));
    result.settingsDir = parser.value(settingsDir);
    if (parser.isSet(settingsDir) && result.settingsDir.isEmpty())
        return usageError(QStringLiteral("--settings-dir: needs a folder"));
    result.bearingLog = parser.value(bearingLog);
    if (parser.isSet(bearingLog) && result.bearingLog.isEmpty())
        return usageError(QStringLiteral("--bearing-log: needs a file"));
    if (parser.isSet(webMap)) {
        bool number = false;
        result.webMapPort = parser.value(webMap).toInt(&number);
        if (!number || !platform::connection::isPort(result.webMapPort))
            return usageError(QStringLiteral("--web-map: needs a port from 1 to 65535, not '%1'").arg(parser.value(webMap)));
    }
    if (parser.isSet(tiles)) {
        result.tilesUrl = parser.value(tiles);
        if (!parser.isSet(webMap))
            return usageError(QStringLiteral("--tiles: goes with --web-map"));
        if (!isTileAddress(result.tilesUrl))
            return usageError(QStringLiteral("--tiles: needs an http or https address with {z}, {x} and {y}, not '%1'")
                                  .arg(result.tilesUrl));
    }

    // The peers, the spread and the history are the live map's: without it they would be lost.
    for (const QCommandLineOption* mapOption : {&peer, &bearingSpread, &history}) {
        if (parser.isSet(*mapOption) && !parser.isSet(webMap) && !parser.isSet(networkLink))
            return usageError(QStringLiteral("--%1: goes with --web-map").arg(mapOption->names().constFirst()));
    }
    result.peers = parser.values(peer);
    for (const QString& url : std::as_const(result.peers)) {
        if (const QString problem = peerProblem(url); !problem.isEmpty())
            return usageError(QStringLiteral("--peer: ") + problem);
    }
    if (result.peers.size() > kMaxPeers)
        return usageError(QStringLiteral("--peer: at most %1 peers, not %2").arg(kMaxPeers).arg(result.peers.size()));
    for (qsizetype i = 1; i < result.peers.size(); ++i) {
        const QString shown = QUrl(result.peers[i]).toString(QUrl::FullyEncoded);
        for (qsizetype j = 0; j < i; ++j) {
            // Its line would count twice in the fix.
            if (QUrl(result.peers[j]).toString(QUrl::FullyEncoded) == shown)
                return usageError(QStringLiteral("--peer: '%1' is given twice").arg(shown));
        }
    }
    if (parser.isSet(bearingSpread)) {
        bool number = false;
        result.bearingSpread = parser.value(bearingSpread).toDouble(&number);
        if (!number || !(result.bearingSpread >= 0.1 && result.bearingSpread <= 45))
            return usageError(QStringLiteral("--bearing-spread: needs degrees from 0.1 to 45, not '%1'")
                                  .arg(escaped(parser.value(bearingSpread))));
    }
    if (parser.isSet(history)) {
        bool number = false;
        result.historyMinutes = parser.value(history).toInt(&number);
        if (!number || result.historyMinutes < 1 || result.historyMinutes > 300)
            return usageError(QStringLiteral("--history: needs whole minutes from 1 to 300, not '%1'")
                                  .arg(escaped(parser.value(history))));
    }

    if (!parser.isSet(networkLink)) {
        for (const QCommandLineOption* linkOption : {&host, &refresh, &fix}) {
            if (parser.isSet(*linkOption))
                return usageError(QStringLiteral("--%1: goes with --network-link").arg(linkOption->names().constFirst()));
        }
        return result;
    }
    // The link is printed instead of running a station: an option for the station would be lost.
    for (const QCommandLineOption* stationOption : {&headless, &bearingLog, &webMap, &tiles, &peer, &bearingSpread, &history}) {
        if (parser.isSet(*stationOption))
            return usageError(QStringLiteral("--%1: does not go with --network-link, which prints a link and runs no station")
                                  .arg(stationOption->names().constFirst()));
    }
    QString why;
    if (parser.isSet(host)) {
        if (!web::urlHost(parser.value(host), &why))
            return usageError(QStringLiteral("--host: ") + why);
        result.linkHost = parser.value(host);
    }
    if (parser.isSet(refresh)) {
        const std::optional<QString> seconds = web::refreshSeconds(parser.value(refresh), &why);
        if (!seconds)
            return usageError(QStringLiteral("--refresh: ") + why);
        result.linkRefresh = *seconds;
    }
    if (parser.isSet(fix)) {
        bool number = false;
        result.fixPort = parser.value(fix).toInt(&number);
        if (!number || !platform::connection::isPort(result.fixPort))
            return usageError(QStringLiteral("--fix: needs the live map's port from 1 to 65535, not '%1'")
                                  .arg(escaped(parser.value(fix))));
    }
    if (result.action == CommandLine::Action::Run)
        result.action = CommandLine::Action::NetworkLink;
    return result;
}

QStringList argumentList(int argc, char** argv)
{
    QStringList out;
    for (int i = 0; i < argc; ++i)
        out << QString::fromLocal8Bit(argv[i]);
    return out;
}

int answerWithoutRunning(const CommandLine& commandLine)
{
    switch (commandLine.action) {
    case CommandLine::Action::Run:
        return -1;
    case CommandLine::Action::Help:
        print(stdout, QString::fromLatin1(kUsage));
        return 0;
    case CommandLine::Action::Version:
        print(stdout, QStringLiteral("tarnvale-webserver %1\n").arg(QStringLiteral(TARNVALE_VERSION)));
        return 0;
    case CommandLine::Action::NetworkLink:
        return printNetworkLink(commandLine);
    case CommandLine::Action::UsageError:
        print(stderr, QStringLiteral("tarnvale-webserver: %1\nTry 'tarnvale-webserver --help'.\n").arg(commandLine.error));
        return 2;
    }
    return 2;
}

} // namespace station
