#pragma once
// Where the station keeps its settings and where a serial port number leads.

#include <QString>

namespace platform {

// "C:/Tarnvale" on Windows; elsewhere the "Tarnvale" folder in the per-user configuration folder.
QString settingsFolder();

// The settings file inside settingsFolder().
QString settingsFilePath();

// The device behind port number n: the entry "COMn" in the settings folder when there is one (a link
// the operator makes to the real device), else /dev/ttyS<n-1>; on Windows simply "COMn".
QString serialDeviceFor(int portNumber);

} // namespace platform
