#pragma once
// The transmitter's fix as this station sees it now: its own bearing line (while it is drawn and not a
// test bearing) and its peers' lines that count, located together (geo::locate). It follows the model's
// and the peers' signals, never polls, and says when the fix documents changed.

#include "core/geo/fix.h"

#include <QByteArray>
#include <QObject>
#include <optional>

namespace station {

class Peers;
class StationModel;

class FixTracker : public QObject
{
    Q_OBJECT

public:
    // `peers` may be null (no --peer): the fix then has the station's own line alone.
    FixTracker(const StationModel& model, const Peers* peers, double spreadDegrees, QObject* parent = nullptr);

    const geo::FixOutcome& outcome() const { return m_outcome; }
    // /fix.json and /fix.kml as they are now.
    QByteArray json() const { return m_json; }
    QByteArray kml() const;

signals:
    // json() changed.
    void changed();

private:
    void update();
    std::optional<geo::BearingRay> ownLine() const;

    const StationModel& m_model;
    const Peers* m_peers = nullptr;
    double m_spread = 3;
    geo::FixOutcome m_outcome;
    QByteArray m_json;
};

} // namespace station
