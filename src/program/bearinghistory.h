#pragma once
// The hunt over time: the DF bearings the station drew in the last few minutes (at most the newest
// kMaxBearings), for a live map opened late to draw what it did not see itself. Test bearings are left
// out: they say nothing about a transmitter.
//
//   {"minutes":30,"bearings":[{"time":"2026-05-04T09:15:02.417Z","bearing":47,"end":[-119.43163,34.67427]},...]}
//
// oldest first; "end" is the drawn line's far end, with the same values as the map document's texts.

#include "core/station/drawnbearing.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>

#include <deque>
#include <functional>
#include <utility>

namespace station {

class StationModel;

class BearingHistory : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxBearings = 300;

    // Follows the model's bearings drawn from now on; keeps those of the last `minutes`.
    BearingHistory(const StationModel& model, int minutes, QObject* parent = nullptr);

    int minutes() const { return m_minutes; }
    QByteArray json() const;

    // The clock the window is measured against (tests set their own); UTC.
    void setClock(std::function<QDateTime()> now) { m_now = std::move(now); }

private:
    struct Kept
    {
        QDateTime drawnAt;
        QByteArray text; // the bearing's object in the JSON array
    };

    void add(const DrawnBearing& bearing);
    QDateTime cutoff() const;

    int m_minutes = 30;
    std::function<QDateTime()> m_now = [] { return QDateTime::currentDateTimeUtc(); };
    std::deque<Kept> m_kept; // in the order drawn
};

} // namespace station
