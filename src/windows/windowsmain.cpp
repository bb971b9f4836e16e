// tarnvale-webserver-windows: the windowed station, which tarnvale-webserver becomes when it is not
// asked to run headless. The station window and the options window are views of one station core.
#include "program/commandline.h"
#include "program/stationrun.h"
#include "windowedstation.h"

#include <QApplication>

int main(int argc, char** argv)
{
    const station::CommandLine commandLine = station::parseCommandLine(station::argumentList(argc, argv));
    if (const int status = station::answerWithoutRunning(commandLine); status >= 0)
        return status;
    if (commandLine.headless)
        return station::runHeadless(argc, argv, commandLine);

    QApplication app(argc, argv);
    station::WindowedStation windowed;
    return station::runStation(windowed.station, commandLine, [&windowed] { windowed.stationWindow.show(); });
}
