#include "paths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace platform {

namespace {
QString& chosenFolder()
{
    static QString folder;
    return folder;
}
} // namespace

void setSettingsFolder(const QString& folder)
{
    chosenFolder() = folder.isEmpty() ? QString() : QDir::cleanPath(QDir(folder).absolutePath());
}

bool createsSettingsFolder()
{
#ifdef Q_OS_WIN
    return !chosenFolder().isEmpty();
#else
    return true;
#endif
}

QString settingsFolder()
{
    if (!chosenFolder().isEmpty())
        return chosenFolder();
#ifdef Q_OS_WIN
    return QStringLiteral("C:/Tarnvale");
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Tarnvale");
#endif
}

QString settingsFilePath()
{
    return settingsFolder() + QStringLiteral("/Tarnvale_Demo.ini");
}

QString fallbackSerialDevice(int portNumber)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(portNumber);
#else
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}

QString serialDeviceFor(int portNumber)
{
#ifndef Q_OS_WIN
    const QString link = settingsFolder() + QStringLiteral("/COM%1").arg(portNumber);
    // A dangling link still counts as the operator's choice: it is a port that fails to open.
    if (QFileInfo(link).isSymLink() || QFileInfo::exists(link))
        return link;
#endif
    return fallbackSerialDevice(portNumber);
}

} // namespace platform
