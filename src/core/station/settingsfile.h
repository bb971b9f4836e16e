#pragma once
// The settings file: 26 lines, CR LF, read once at start-up and written once at shutdown.
//   line 1       serial port number (number form, " 3 ")
//   lines 2-24   one digit each: website port (5), calibration (3), latitude (7), longitude (8)
//   lines 25-26  hemispheres, "N"/"S" and "E"/"W"
// Reading applies each line through a SettingsTarget, so it runs on files without a window.

#include <QString>
#include <QStringList>

namespace station {

// Where the lines of a settings file go as they are read.
class SettingsTarget
{
public:
    virtual ~SettingsTarget() = default;
    // False when the serial port control refuses the number.
    virtual bool setCommPort(int portNumber) = 0;
    // Tag of the digit field options::kDigitFields[field].
    virtual void setDigitTag(int field, const QString& tag) = 0;
    virtual void toggleLatitudeHemisphere() = 0;
    virtual void toggleLongitudeHemisphere() = 0;
};

enum class ReadOutcome {
    Applied,    // all 26 lines read and applied
    Missing,    // the file could not be opened
    Damaged,    // a line missing, a number outside 16 bits, or a port number refused
    NotRegular, // the path leads to no regular file (a FIFO, a device, a folder): it is not opened
};

// The start-up's digit check of field options::kDigitFields[field]: the tag itself when it is exactly
// one of the digits that field accepts, else the field's fallback digit.
QString checkedDigit(int field, const QString& tag);

// Reads and applies one pass, stopping at the first damage (what was applied before it stays applied).
// Only the file's first 64 KiB are read. For NotRegular, `problem` says what stands at the path.
ReadOutcome readSettings(const QString& path, SettingsTarget& target, QString* problem = nullptr);

// The same pass over a file's bytes as they were read.
ReadOutcome applySettings(const QByteArray& content, SettingsTarget& target);

// The 26 lines of the default file: COM1, website port 10000, calibration 0,
// 34 degrees 25.111 minutes north, 119 degrees 44.500 minutes west.
QStringList defaultSettingsLines();

// The 26 lines written at shutdown: line 1 in number form, lines 2 to 26 as the texts given.
QStringList settingsLines(int commPort, const QStringList& tags);

// Replaces the file atomically with the lines, each ended by CR LF. On failure the previous file is
// left whole and `error` says why. A path that leads to no regular file is never written through nor
// replaced.
bool writeSettingsLines(const QString& path, const QStringList& lines, QString* error = nullptr);

} // namespace station
