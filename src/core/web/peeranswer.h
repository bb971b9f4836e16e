#pragma once
// What another station's map answered, told by the answer itself whatever the address asked for: the
// KML document a station's website port serves, a live map's status (GeoJSON), a live map's page
// (HTML, whose status the caller then reads), or something else. Nothing in the answer is trusted:
// sizes, nesting and numbers are checked, and anything doubtful is "something else".

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace web {

// The most of one answer that is read; more is something else.
inline constexpr qsizetype kMaxPeerAnswerBytes = 64 * 1024;

struct PeerAnswer
{
    enum class Kind { Kml, Status, Page, Other };

    Kind kind = Kind::Other;
    QString problem; // for Other: what it is, briefly, for the log line

    // For Kml and Status: degrees, north and east positive.
    double stationLatitude = 0;
    double stationLongitude = 0;
    double endLatitude = 0; // the line's far end
    double endLongitude = 0;
    bool drawn = false;     // the line reaches away from the station (not collapsed onto it)
    bool test = false;      // a test bearing (the status's df "test")
    int bearing = 0;        // whole degrees, 0 to 359, while drawn
    QDateTime time;         // UTC: the status's time of the last bearing drawn; invalid for KML or none
};

PeerAnswer readPeerAnswer(const QByteArray& body);

// A name for the kind, for the log line ("a station's KML document", ...).
QString peerAnswerKindText(PeerAnswer::Kind kind);

} // namespace web
