// tarnvale-webserver: the base station of a radio direction finder. With --headless the station runs
// here without windows, linked against QtCore, QtNetwork and QtSerialPort alone; otherwise this process
// becomes the windowed station (tarnvale-webserver-windows), so that a box without a screen needs no
// GUI libraries at all.
#include "commandline.h"
#include "stationrun.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// The windowed station beside this program (build tree), or where the package installs it.
QString windowedStationPath(const char* argv0)
{
#ifdef Q_OS_LINUX
    Q_UNUSED(argv0);
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
#else
    const QString self = QFileInfo(QString::fromLocal8Bit(argv0)).absoluteFilePath();
#endif
    const QDir here = QFileInfo(self).absoluteDir();
    for (const QString& candidate : {here.filePath(QStringLiteral(TARNVALE_WINDOWS_NAME)),
                                     here.filePath(QStringLiteral(TARNVALE_WINDOWS_FROM_BIN "/" TARNVALE_WINDOWS_NAME))}) {
        if (QFileInfo(candidate).isExecutable())
            return QDir::cleanPath(candidate);
    }
    return {};
}

// Without a screen the windows cannot open; Qt would abort with a bare message.
bool canShowWindows(const station::CommandLine& commandLine)
{
#ifdef Q_OS_LINUX
    return commandLine.platformGiven || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")
        || !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    Q_UNUSED(commandLine);
    return true;
#endif
}

int runWindowed(const station::CommandLine& commandLine, char** argv)
{
    if (!canShowWindows(commandLine)) {
        std::fprintf(stderr, "tarnvale-webserver: no display to show the station's windows on (DISPLAY is not set); "
                             "run it with --headless\n");
        return 1;
    }
    const QString windowed = windowedStationPath(argv[0]);
    if (windowed.isEmpty()) {
        std::fprintf(stderr, "tarnvale-webserver: the windowed station is not installed here; "
                             "run it with --headless, or install the tarnvale-webserver package\n");
        return 1;
    }
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(windowed);
    ::execv(path.constData(), argv);
    std::fprintf(stderr, "tarnvale-webserver: cannot start %s: %s\n", path.constData(), std::strerror(errno));
#endif
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    const station::CommandLine commandLine = station::parseCommandLine(station::argumentList(argc, argv));
    if (const int status = station::answerWithoutRunning(commandLine); status >= 0)
        return status;
    if (!commandLine.headless)
        return runWindowed(commandLine, argv);
    return station::runHeadless(argc, argv, commandLine);
}
