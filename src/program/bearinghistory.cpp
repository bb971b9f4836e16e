#include "bearinghistory.h"

#include "core/geo/geojson.h"
#include "core/station/stationmodel.h"

#include <cstddef>

namespace station {

BearingHistory::BearingHistory(const StationModel& model, int minutes, QObject* parent)
    : QObject(parent)
    , m_minutes(minutes)
{
    connect(&model, &StationModel::bearingDrawn, this, &BearingHistory::add);
}

QDateTime BearingHistory::cutoff() const
{
    return m_now().addSecs(-60LL * m_minutes);
}

void BearingHistory::add(const DrawnBearing& bearing)
{
    if (bearing.source != DrawnBearing::Source::Df)
        return;
    const QDateTime drawnAt = bearing.drawnAt.toUTC();
    QByteArray text = R"({"time":")" + drawnAt.toString(Qt::ISODateWithMs).toLatin1() + R"(","bearing":)"
        + QByteArray::number(bearing.degrees) + R"(,"end":[)" + geo::jsonNumber(bearing.endLongitude) + ','
        + geo::jsonNumber(bearing.endLatitude) + "]}";
    m_kept.push_back({drawnAt, std::move(text)});

    const QDateTime oldest = cutoff();
    while (!m_kept.empty() && (m_kept.size() > static_cast<std::size_t>(kMaxBearings) || m_kept.front().drawnAt < oldest))
        m_kept.pop_front();
}

QByteArray BearingHistory::json() const
{
    // Between bearings nothing is dropped: those past the window are only left out here.
    const QDateTime oldest = cutoff();
    QByteArray json = R"({"minutes":)" + QByteArray::number(m_minutes) + R"(,"bearings":[)";
    bool first = true;
    for (const Kept& kept : m_kept) {
        if (kept.drawnAt < oldest)
            continue;
        if (!first)
            json += ',';
        json += kept.text;
        first = false;
    }
    return json + "]}";
}

} // namespace station
