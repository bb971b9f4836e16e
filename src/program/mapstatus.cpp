#include "mapstatus.h"

#include "lastbearing.h"
#include "core/station/stationcore.h"

namespace station {

geo::MapStatus mapStatus(StationCore& station, const LastBearing& last)
{
    const StationState& state = station.state();
    geo::MapStatus status;
    status.startLatitude = state.START_LATITUDE;
    status.startLongitude = state.START_LONGITUDE;
    status.endLatitude = state.END_LATITUDE;
    status.endLongitude = state.END_LONGITUDE;
    switch (station.model().dfState()) {
    case DfState::Test:
        status.df = QStringLiteral("test");
        break;
    case DfState::Off:
        status.df = QStringLiteral("off");
        break;
    case DfState::Detected:
        status.df = QStringLiteral("detected");
        break;
    case DfState::Silent:
        status.df = QStringLiteral("silent");
        break;
    }
    const bool collapsed = state.END_LATITUDE == state.START_LATITUDE && state.END_LONGITUDE == state.START_LONGITUDE;
    if (last.degrees() && !collapsed)
        status.bearing = *last.degrees();
    status.time = last.drawnAt();
    status.port = state.WEBSITE_PORT;
    return status;
}

} // namespace station
