#include "bearinglog.h"

#include "platform/eventlog.h"

#include <QDir>
#include <QFileInfo>

namespace station {

namespace {
QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}
} // namespace

BearingLog::BearingLog(const QString& path, QObject* parent)
    : QObject(parent)
    , m_file(QFileInfo(path).absoluteFilePath())
{
    if (reopen()) {
        platform::logEvent(QStringLiteral("Logging bearings to %1").arg(shown(m_file.path())));
    } else if (m_file.refused()) {
        m_refused = true;
        platform::logEvent(QStringLiteral("Bearing log %1 refused, it is not one (%2): the file is left as it is")
                               .arg(shown(m_file.path()), m_file.errorString()));
        return;
    } else {
        tellFailure();
    }
    m_check.setInterval(kCheckIntervalMs);
    connect(&m_check, &QTimer::timeout, this, &BearingLog::checkPath);
    m_check.start();
}

QByteArray BearingLog::header()
{
    return QByteArrayLiteral(
        "utc_time,source,bearing,calibration,station_latitude,station_longitude,end_latitude,end_longitude\n");
}

QByteArray BearingLog::line(const DrawnBearing& bearing)
{
    const bool df = bearing.source == DrawnBearing::Source::Df;
    const QString text = QStringList{bearing.drawnAt.toUTC().toString(Qt::ISODateWithMs),
                                     df ? QStringLiteral("DF") : QStringLiteral("TEST"),
                                     QString::number(bearing.degrees),
                                     df ? QString::number(bearing.calibration) : QString(),
                                     bearing.stationLatitude,
                                     bearing.stationLongitude,
                                     bearing.endLatitude,
                                     bearing.endLongitude}
                             .join(u',');
    return text.toLatin1() + '\n';
}

void BearingLog::write(const DrawnBearing& bearing)
{
    if (!m_file.isOpen() || !m_file.append(line(bearing), header())) {
        ++m_missed;
        tellFailure();
        return;
    }
    if (m_failing) {
        platform::logEvent(QStringLiteral("Bearing log %1 written again (%2 bearing(s) not logged meanwhile)")
                               .arg(shown(m_file.path()))
                               .arg(m_missed));
        m_failing = false;
        m_missed = 0;
    }
}

// Once while the log cannot be written, however many bearings come meanwhile.
void BearingLog::tellFailure()
{
    if (m_failing)
        return;
    m_failing = true;
    platform::logEvent(QStringLiteral("Bearing log %1 cannot be written (%2): bearings are not logged until it can be")
                           .arg(shown(m_file.path()), m_file.errorString()));
}

bool BearingLog::reopen()
{
    return m_file.open(header());
}

// Log rotation renames (or removes) the file and expects the next line in a new one at the path; a
// log that could not be opened is tried again meanwhile.
void BearingLog::checkPath()
{
    if (m_file.isOpen() && m_file.stillAtPath())
        return;
    const bool wasOpen = m_file.isOpen();
    if (!reopen()) {
        tellFailure();
        return;
    }
    if (wasOpen)
        platform::logEvent(QStringLiteral("Bearing log %1 was moved or removed: a new one is started").arg(shown(m_file.path())));
}

} // namespace station
