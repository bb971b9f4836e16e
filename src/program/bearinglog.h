#pragma once
// --bearing-log FILE: one CSV line for every bearing the station draws, appended as it is drawn, so a
// hunt can be replayed, plotted or handed to someone triangulating from several stations:
//
//   utc_time,source,bearing,calibration,station_latitude,station_longitude,end_latitude,end_longitude
//   2026-05-04T09:15:02.417Z,DF,45,10,+34.41852,-119.74167,+34.67427,-119.43163
//
// The log writes only into a file of its own: new, empty, or beginning with its header line. Anything
// else at the path (someone's notes, a FIFO, a device, a folder) is refused at the start and left as it
// is, and the station does not run. The file only ever holds whole lines (see platform::AppendFile). A
// file that cannot be written costs
// one line on standard error, not one per bearing, and the station serves on; the next line that can
// be written again says so. A log rotated away (renamed or removed) is noticed within a second and
// started again at its path.

#include "core/station/drawnbearing.h"

#include "platform/appendfile.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

namespace station {

class BearingLog : public QObject
{
    Q_OBJECT

public:
    static constexpr int kCheckIntervalMs = 400; // how often the path is checked for a rotation

    // Opens (or starts) the log at `path`, relative to the working folder.
    explicit BearingLog(const QString& path, QObject* parent = nullptr);

    // The header line and one bearing's line, each with its line end.
    static QByteArray header();
    // (Its time is when the bearing was drawn, the time the live map shows for it.)
    static QByteArray line(const DrawnBearing& bearing);

    void write(const DrawnBearing& bearing);

    // The path held something that is not this log's at the start (told on standard error); nothing is
    // logged then, and the run is not to start.
    bool refused() const { return m_refused; }

private:
    void checkPath();
    bool reopen();
    void tellFailure();

    platform::AppendFile m_file;
    QTimer m_check;
    bool m_refused = false;
    bool m_failing = false;   // told that the log cannot be written, not yet that it can again
    qint64 m_missed = 0;      // bearings not logged since
};

} // namespace station
