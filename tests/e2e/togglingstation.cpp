// A headless station whose TEST switch is pressed every --toggle-test MS milliseconds, as an operator
// might, so that test ticks and DF sentences both reach its bearing log in one run; otherwise the
// station exactly as tarnvale-webserver --headless runs it. Tests kill it in mid-log.
#include "platform/messages.h"
#include "program/commandline.h"
#include "core/station/stationcore.h"
#include "program/stationrun.h"

#include <QCoreApplication>
#include <QTimer>

int main(int argc, char** argv)
{
    QStringList arguments = station::argumentList(argc, argv);
    int toggleMs = 0;
    const qsizetype at = arguments.indexOf(QStringLiteral("--toggle-test"));
    if (at > 0 && at + 1 < arguments.size()) {
        toggleMs = arguments[at + 1].toInt();
        arguments.remove(at, 2);
    }
    const station::CommandLine commandLine = station::parseCommandLine(arguments);
    if (const int status = station::answerWithoutRunning(commandLine); status >= 0)
        return status;

    QCoreApplication app(argc, argv);
    platform::Messages messages;
    StationCore station(messages);
    QTimer toggle;
    QObject::connect(&toggle, &QTimer::timeout, &station, &StationCore::CmdButton_TEST_Click);
    if (toggleMs > 0)
        toggle.start(toggleMs);
    return station::runStation(station, commandLine);
}
