#include "stationrun.h"

#include "bearinglog.h"
#include "commandline.h"
#include "stationcore.h"
#include "webmap.h"

#include "platform/eventlog.h"
#include "platform/filelimit.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/shutdownsignals.h"

#include <QCoreApplication>

#include <memory>

namespace station {

int runStation(StationCore& station, const CommandLine& commandLine, const std::function<void()>& show)
{
    QCoreApplication::setApplicationName(QStringLiteral("tarnvale-webserver"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNVALE_VERSION));
    platform::setSettingsFolder(commandLine.settingsDir);
    station.setHeadless(commandLine.headless);
    platform::logEvent(QStringLiteral("Tarnvale WebServer %1 starting%2")
                           .arg(QStringLiteral(TARNVALE_VERSION), commandLine.headless ? QStringLiteral(" headless") : QString()));
    platform::raiseOpenFileLimit();

    WebMap webMap;
    if (const int status = webMap.start(station, commandLine); status != 0)
        return status;

    std::unique_ptr<BearingLog> bearingLog;
    if (!commandLine.bearingLog.isEmpty()) {
        bearingLog = std::make_unique<BearingLog>(commandLine.bearingLog);
        QObject::connect(&station, &StationCore::bearingDrawn, bearingLog.get(), &BearingLog::write);
    }

    QObject::connect(&station, &StationCore::acceptingStopped, &station, [&webMap] { webMap.stopAccepting(); });

    platform::ShutdownSignals shutdownSignals;
    QObject::connect(&shutdownSignals, &platform::ShutdownSignals::shutdownRequested, &station, &StationCore::shutDownOnSignal);
    QObject::connect(&station, &StationCore::closed, QCoreApplication::instance(), [&station] {
        QCoreApplication::exit(station.exitStatus());
    }, Qt::QueuedConnection);

    if (!station.Form_Load() || station.isClosed())
        return station.exitStatus();
    if (show)
        show();
    const int status = QCoreApplication::exec();
    return status != 0 ? status : station.exitStatus();
}

int runHeadless(int argc, char** argv, const CommandLine& commandLine)
{
    QCoreApplication app(argc, argv);
    platform::Messages messages;
    StationCore station(messages);
    return runStation(station, commandLine);
}

} // namespace station
