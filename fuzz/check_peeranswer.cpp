// Another station's answer: whatever the bytes, a kind; something else says what on one line; a map's
// station and line end are finite and on the globe (the end as far past it as a line can reach), its
// bearing a whole degree from 0 to 359, and a line drawn only where it leaves its station.
#include "checks.h"

#include "core/web/peeranswer.h"

#include <cmath>

namespace fuzzcheck {

std::string peer(const std::uint8_t* data, std::size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const web::PeerAnswer answer = web::readPeerAnswer(body);
    switch (answer.kind) {
    case web::PeerAnswer::Kind::Other:
        if (answer.problem.isEmpty())
            return "something else, without saying what";
        if (answer.problem.contains(u'\n') || answer.problem.contains(u'\r'))
            return "what it is takes more than one line: " + answer.problem.toStdString();
        return {};
    case web::PeerAnswer::Kind::Page:
        return {};
    case web::PeerAnswer::Kind::Kml:
    case web::PeerAnswer::Kind::Status:
        break;
    }
    const double values[] = {answer.stationLatitude, answer.stationLongitude, answer.endLatitude, answer.endLongitude};
    for (const double value : values) {
        if (!std::isfinite(value))
            return "a position that is no number";
    }
    if (std::fabs(answer.stationLatitude) > 90 || std::fabs(answer.stationLongitude) > 180)
        return "a station off the globe";
    if (std::fabs(answer.endLatitude) > 91 || std::fabs(answer.endLongitude) > 360)
        return "a line's end beyond any line's reach";
    if (answer.bearing < 0 || answer.bearing > 359)
        return "bearing " + std::to_string(answer.bearing);
    const bool apart = answer.stationLatitude != answer.endLatitude || answer.stationLongitude != answer.endLongitude;
    if (answer.drawn && !apart)
        return "a line drawn onto its own station";
    if (answer.kind == web::PeerAnswer::Kind::Kml && apart != answer.drawn)
        return "a KML line leaving its station, not drawn";
    return {};
}

} // namespace fuzzcheck
