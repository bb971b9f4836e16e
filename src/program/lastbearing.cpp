#include "lastbearing.h"

#include "core/station/stationcore.h"

namespace station {

LastBearing::LastBearing(StationCore& station)
{
    m_connection = QObject::connect(&station, &StationCore::bearingDrawn, [this](const DrawnBearing& bearing) {
        m_degrees = bearing.degrees;
        m_drawnAt = QDateTime::currentDateTimeUtc();
    });
}

LastBearing::~LastBearing()
{
    QObject::disconnect(m_connection);
}

} // namespace station
