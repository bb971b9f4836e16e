// Tarnvale WebServer: the base station of a radio direction finder. Creating the station window starts
// the station; closing it ends the program.
#include "station/stationwindow.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarnvale-webserver"));

    Form_STATION station;
    station.Form_Load();
    station.show();
    return QApplication::exec();
}
