#pragma once
// Where the station keeps its settings and where a serial port number leads.

#include <QString>

namespace platform {

// "C:/Tarnvale" on Windows; elsewhere the "Tarnvale" folder in the per-user configuration folder; or
// the folder given on the command line.
QString settingsFolder();

// Puts the settings (and the COMn links) in `folder` instead; an empty text restores the default.
void setSettingsFolder(const QString& folder);

// Whether the station makes the folder (with its parents) when it is missing: per-user programs and a
// folder given on the command line do; the fixed Windows folder is the operator's to make.
bool createsSettingsFolder();

// The settings file inside settingsFolder().
QString settingsFilePath();

// The device behind port number n: the entry "COMn" in the settings folder when there is one (a link
// the operator makes to the real device), else /dev/ttyS<n-1>; on Windows simply "COMn".
QString serialDeviceFor(int portNumber);

// The device port n names when no COMn link exists: /dev/ttyS<n-1>; on Windows "COMn".
QString fallbackSerialDevice(int portNumber);

} // namespace platform
