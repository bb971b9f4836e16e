#pragma once
// The settings file: 26 lines, CR LF, read once at start-up and written once at shutdown.
//   line 1       serial port number (number form, " 3 ")
//   lines 2-24   one digit each: website port (5), calibration (3), latitude (7), longitude (8)
//   lines 25-26  hemispheres, "N"/"S" and "E"/"W"
// Reading applies each line through a SettingsTarget, so it runs on files without a window.

#include <QString>
#include <QStringList>
#include <array>

namespace station {

// The digit fields of lines 2 to 24, in line order.
inline constexpr std::array<const char*, 23> kDigitFieldNames = {
    "Label_SITE_X10K",    "Label_SITE_X1K",     "Label_SITE_X100",   "Label_SITE_X10",     "Label_SITE_X1",
    "Label_DFCAL_X100",   "Label_DFCAL_X10",    "Label_DFCAL_X1",    "Label_LAT_DEGX10",   "Label_LAT_DEGX1",
    "Label_LAT_MINX10",   "Label_LAT_MINX1",    "Label_LAT_MINX01",  "Label_LAT_MINX001",  "Label_LAT_MINX0001",
    "Label_LONG_DEGX100", "Label_LONG_DEGX10",  "Label_LONG_DEGX1",  "Label_LONG_MINX10",  "Label_LONG_MINX1",
    "Label_LONG_MINX01",  "Label_LONG_MINX001", "Label_LONG_MINX0001",
};

// Where the lines of a settings file go as they are read.
class SettingsTarget
{
public:
    virtual ~SettingsTarget() = default;
    // False when the serial port control refuses the number.
    virtual bool setCommPort(int portNumber) = 0;
    // Tag of the digit field kDigitFieldNames[field].
    virtual void setDigitTag(int field, const QString& tag) = 0;
    virtual void toggleLatitudeHemisphere() = 0;
    virtual void toggleLongitudeHemisphere() = 0;
};

enum class ReadOutcome {
    Applied, // all 26 lines read and applied
    Missing, // the file could not be opened
    Damaged, // a line missing, a number outside 16 bits, or a port number refused
};

// The start-up's digit check of field kDigitFieldNames[field]: the tag itself when it is exactly one of
// the digits that field accepts, else the field's fallback digit.
QString checkedDigit(int field, const QString& tag);

// Reads and applies one pass, stopping at the first damage (what was applied before it stays applied).
ReadOutcome readSettings(const QString& path, SettingsTarget& target);

// The 26 lines of the default file: COM1, website port 10000, calibration 0,
// 34 degrees 25.111 minutes north, 119 degrees 44.500 minutes west.
QStringList defaultSettingsLines();

// The 26 lines written at shutdown: line 1 in number form, lines 2 to 26 as the texts given.
QStringList settingsLines(int commPort, const QStringList& tags);

// Replaces the file atomically with the lines, each ended by CR LF. On failure the previous file is
// left whole and `error` says why.
bool writeSettingsLines(const QString& path, const QStringList& lines, QString* error = nullptr);

} // namespace station
