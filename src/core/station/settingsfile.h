#pragma once
// The settings file: 26 lines, CR LF, read once at start-up and written once at shutdown.
//   line 1       serial port number (number form, " 3 ")
//   lines 2-24   one digit each: website port (5), calibration (3), latitude (7), longitude (8)
//   lines 25-26  hemispheres, "N"/"S" and "E"/"W"
// Reading gives a Settings value; the start-up, the write-back and the network link use only that.

#include "settings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace station {

enum class ReadOutcome {
    Applied,    // all 26 lines read
    Missing,    // the file could not be opened
    Damaged,    // a line missing, a number outside 16 bits, or a port number the serial line refuses
    NotRegular, // the path leads to no regular file (a FIFO, a device, a folder): it is not opened
};

struct SettingsRead
{
    ReadOutcome outcome = ReadOutcome::Missing;
    Settings settings;  // whole only when Applied; else what was read before the damage
    QString problem;    // for NotRegular: what stands at the path
    QByteArray content; // the bytes read, when the file was read
};

// Reads the file once; only its first 64 KiB are read.
SettingsRead readSettings(const QString& path);

// The same over a file's bytes as they were read.
SettingsRead parseSettings(const QByteArray& content);

// The 26 lines of the default file: COM1, website port 10000, calibration 0,
// 34 degrees 25.111 minutes north, 119 degrees 44.500 minutes west.
QStringList defaultSettingsLines();

// The 26 lines written at shutdown: line 1 in number form, one digit a line, then the hemispheres.
QStringList settingsLines(const Settings& settings);

// Replaces the file atomically with the lines, each ended by CR LF. On failure the previous file is
// left whole and `error` says why. A path that leads to no regular file is never written through nor
// replaced.
bool writeSettingsLines(const QString& path, const QStringList& lines, QString* error = nullptr);

} // namespace station
