#include "mapstatus.h"

#include "core/station/captions.h"
#include "lastbearing.h"
#include "core/station/stationcore.h"

namespace station {

geo::MapStatus mapStatus(StationCore& station, const LastBearing& last)
{
    const StationState& state = station.state();
    const Controls& controls = station.controls();
    geo::MapStatus status;
    status.startLatitude = state.START_LATITUDE;
    status.startLongitude = state.START_LONGITUDE;
    status.endLatitude = state.END_LATITUDE;
    status.endLongitude = state.END_LONGITUDE;
    if (controls.tag(ControlId::CmdButton_TEST) == kOn)
        status.df = QStringLiteral("test");
    else if (controls.tag(ControlId::CmdButton_ACQUIRE) == kOff)
        status.df = QStringLiteral("off");
    else if (state.DF_VALID)
        status.df = QStringLiteral("detected");
    else
        status.df = QStringLiteral("silent");
    const bool collapsed = state.END_LATITUDE == state.START_LATITUDE && state.END_LONGITUDE == state.START_LONGITUDE;
    if (last.degrees() && !collapsed)
        status.bearing = *last.degrees();
    status.time = last.drawnAt();
    status.port = state.WEBSITE_PORT;
    return status;
}

} // namespace station
