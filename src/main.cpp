// Tarnvale WebServer: the base station of a radio direction finder. Creating the station window starts
// the station; closing it ends the program.
#include "platform/filelimit.h"
#include "platform/messagebox.h"
#include "platform/shutdownsignals.h"
#include "station/stationwindow.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv)
{
    platform::raiseOpenFileLimit();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarnvale-webserver"));

    Form_STATION station;
    platform::ShutdownSignals shutdownSignals;
    QObject::connect(&shutdownSignals, &platform::ShutdownSignals::shutdownRequested, &station, [&station] {
        // Let an answered message box return first, then close as the operator would.
        QTimer::singleShot(0, &station, [&station] { station.closeFromSignal(); });
    });

    if (!station.Form_Load() || station.isClosed())
        return station.exitStatus();
    station.show();
    const int status = QApplication::exec();
    return status != 0 ? status : station.exitStatus();
}
