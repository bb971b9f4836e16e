#pragma once
// The station's command line, read before any application object exists, so that a headless station
// never touches the GUI libraries. Qt's own options (-platform and the like) are let through for the
// windowed station.

#include <QString>
#include <QStringList>

namespace station {

struct CommandLine
{
    enum class Action { Run, Help, Version, UsageError, NetworkLink };

    Action action = Action::Run;
    QString error;       // what was wrong, for a usage error
    bool headless = false;
    QString settingsDir; // empty: the default folder
    bool platformGiven = false; // Qt's -platform option was given

    // --network-link: the map viewer's link to this station is printed instead of running it.
    QString linkHost;                         // --host as given; empty: this machine's host name
    QString linkRefresh = QStringLiteral("2"); // --refresh in seconds, written plainly ("2.5")
    int fixPort = 0; // --network-link --fix PORT: the link goes to /fix.kml on the live map's PORT

    QString bearingLog; // --bearing-log: the file every drawn bearing is appended to; empty: none

    int webMapPort = 0; // --web-map: the live map's port, 0 for none
    QString tilesUrl;   // --tiles: the live map's tile address, empty for the default

    QStringList peers;        // --peer URL, repeatable, at most 16, http only, needs --web-map
    double bearingSpread = 3; // --bearing-spread DEGREES, 0.1 to 45
    int historyMinutes = 30;  // --history MINUTES, 1 to 300
};

CommandLine parseCommandLine(const QStringList& arguments);

// The arguments as the program received them (argv[0] first).
QStringList argumentList(int argc, char** argv);

// Answers --help, --version and usage errors on the right stream; the status to exit with, or -1
// when the station is to run.
int answerWithoutRunning(const CommandLine& commandLine);

} // namespace station
