#pragma once
// The last bearing a station drew on its map and when (UTC), kept from its bearingDrawn signal for the
// live map.

#include <QDateTime>
#include <QMetaObject>
#include <QtGlobal>

#include <optional>

class StationCore;

namespace station {

class LastBearing
{
public:
    explicit LastBearing(StationCore& station);
    ~LastBearing();
    LastBearing(const LastBearing&) = delete;
    LastBearing& operator=(const LastBearing&) = delete;

    std::optional<qint16> degrees() const { return m_degrees; }
    QDateTime drawnAt() const { return m_drawnAt; } // invalid before the first

private:
    std::optional<qint16> m_degrees;
    QDateTime m_drawnAt;
    QMetaObject::Connection m_connection;
};

} // namespace station
