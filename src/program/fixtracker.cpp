#include "fixtracker.h"

#include "peers.h"

#include "core/geo/coordtext.h"
#include "core/station/stationmodel.h"

namespace station {

FixTracker::FixTracker(const StationModel& model, const Peers* peers, double spreadDegrees, QObject* parent)
    : QObject(parent)
    , m_model(model)
    , m_peers(peers)
    , m_spread(spreadDegrees)
{
    // Everything the own line's counting depends on: the line drawn or collapsed, a new bearing on it,
    // test mode.
    connect(&model, &StationModel::lineChanged, this, &FixTracker::update);
    connect(&model, &StationModel::bearingDrawn, this, &FixTracker::update);
    connect(&model, &StationModel::testModeChanged, this, &FixTracker::update);
    if (peers)
        connect(peers, &Peers::changed, this, &FixTracker::update);
    update();
}

// The station's own line counts while it is drawn and is no test bearing.
std::optional<geo::BearingRay> FixTracker::ownLine() const
{
    const std::optional<DrawnBearing> drawn = m_model.bearing();
    if (!drawn || m_model.testMode() || drawn->source != DrawnBearing::Source::Df)
        return std::nullopt;
    geo::BearingRay ray;
    ray.source = QStringLiteral("self");
    ray.stationLatitude = geo::readCoordinate(drawn->stationLatitude);
    ray.stationLongitude = geo::readCoordinate(drawn->stationLongitude);
    ray.endLatitude = geo::readCoordinate(drawn->endLatitude);
    ray.endLongitude = geo::readCoordinate(drawn->endLongitude);
    ray.bearing = ((drawn->degrees % 360) + 360) % 360; // a calibrated bearing may pass a whole turn
    ray.time = drawn->drawnAt;
    return ray;
}

void FixTracker::update()
{
    QVector<geo::BearingRay> lines;
    if (const auto own = ownLine())
        lines.append(*own);
    QVector<geo::PeerMark> marks;
    if (m_peers) {
        marks = m_peers->marks();
        for (const geo::PeerMark& mark : std::as_const(marks)) {
            if (mark.line)
                lines.append(*mark.line);
        }
    }
    m_outcome = geo::locate(lines, m_spread);
    const QByteArray json = geo::fixGeoJson(m_outcome, marks);
    if (json == m_json)
        return;
    m_json = json;
    emit changed();
}

QByteArray FixTracker::kml() const
{
    return geo::fixKml(m_outcome);
}

} // namespace station
