#pragma once
// The settings file is replaced through a temporary file beside it ("Tarnvale_Demo.ini.XXXXXX", six
// characters). A station killed in mid-write leaves that temporary behind, and nothing else ever
// removes it. At start-up such a leftover is removed, but only when it is certainly one: named exactly
// so, a regular file (no link), not changed for 10 minutes (a station writing now is left to finish),
// and holding nothing but settings lines (at most 26 of them, CR LF, as the station writes them).
// Anything else of that name's shape is named once on standard error and left alone.

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace station {

inline constexpr int kStaleTemporaryMinutes = 10;

struct TemporariesFound
{
    QStringList removed;    // file names
    QStringList leftAlone;  // file names
};

// Looks beside `settingsFile` for its temporaries, as of `now`; logs one line for each one found.
TemporariesFound removeStaleTemporaries(const QString& settingsFile,
                                        const QDateTime& now = QDateTime::currentDateTimeUtc());

// Whether `content` is what a settings write may have left of its lines: at most 26 lines ended by
// CR LF in the station's own forms, the last one possibly cut short.
bool holdsOnlySettingsLines(const QByteArray& content);

} // namespace station
