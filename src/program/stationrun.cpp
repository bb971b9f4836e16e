#include "stationrun.h"

#include "bearinglog.h"
#include "commandline.h"
#include "core/station/stationcore.h"
#include "webmap.h"

#include "platform/eventlog.h"
#include "platform/filelimit.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/shutdownsignals.h"

#include <QCoreApplication>

#include <memory>

namespace station {

namespace {
// A bearing log path that holds something not the log's own: the run does not start.
constexpr int kExitBearingLogRefused = 1;
} // namespace

int runStation(StationCore& station, const CommandLine& commandLine, const std::function<void()>& show)
{
    QCoreApplication::setApplicationName(QStringLiteral("tarnvale-webserver"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNVALE_VERSION));
    platform::setSettingsFolder(commandLine.settingsDir);
    station.setHeadless(commandLine.headless);

    // Watched from before anything is read: a stop that comes first ends the run at once, with nothing
    // read or written (a FIFO or device at a file's path cannot hold the station up either).
    platform::ShutdownSignals shutdownSignals;

    // The one usage error that needs the settings file: told like the others, before any other line.
    const QString clash = webMapPortClash(commandLine);
    if (!clash.isEmpty()) {
        CommandLine wrong;
        wrong.action = CommandLine::Action::UsageError;
        wrong.error = clash;
        return answerWithoutRunning(wrong);
    }

    platform::logEvent(QStringLiteral("Tarnvale WebServer %1 starting%2")
                           .arg(QStringLiteral(TARNVALE_VERSION), commandLine.headless ? QStringLiteral(" headless") : QString()));
    platform::raiseOpenFileLimit();
    const auto stoppedEarly = [&shutdownSignals] {
        const int signalNumber = shutdownSignals.takePending();
        if (signalNumber != 0)
            platform::logEvent(QStringLiteral("Shutting down on %1 before the start-up: nothing read or written")
                                   .arg(platform::signalName(signalNumber)));
        return signalNumber != 0;
    };
    if (stoppedEarly())
        return 0;

    WebMap webMap;
    if (const int status = webMap.start(station, commandLine); status != 0)
        return status;

    std::unique_ptr<BearingLog> bearingLog;
    if (!commandLine.bearingLog.isEmpty()) {
        bearingLog = std::make_unique<BearingLog>(commandLine.bearingLog);
        if (bearingLog->refused())
            return kExitBearingLogRefused;
        QObject::connect(&station, &StationCore::bearingDrawn, bearingLog.get(), &BearingLog::write);
    }

    QObject::connect(&station, &StationCore::acceptingStopped, &station, [&webMap] { webMap.stopAccepting(); });

    QObject::connect(&shutdownSignals, &platform::ShutdownSignals::shutdownRequested, &station, &StationCore::shutDownOnSignal);
    QObject::connect(&station, &StationCore::closed, QCoreApplication::instance(), [&station] {
        QCoreApplication::exit(station.exitStatus());
    }, Qt::QueuedConnection);

    if (stoppedEarly())
        return 0;
    if (!station.Form_Load() || station.isClosed())
        return station.exitStatus();
    if (show)
        show();
    const int status = QCoreApplication::exec();
    return status != 0 ? status : station.exitStatus();
}

int runHeadless(int argc, char** argv, const CommandLine& commandLine)
{
    // Without windows the station needs no GLib main loop; under it a burst of connections left more
    // memory resident once drained, and was answered more slowly. Read when the application is made.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    platform::Messages messages;
    StationCore station(messages);
    return runStation(station, commandLine);
}

} // namespace station
