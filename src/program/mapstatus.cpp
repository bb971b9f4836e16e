#include "mapstatus.h"

#include "core/station/stationmodel.h"

namespace station {

geo::MapStatus mapStatus(const StationModel& model)
{
    const BearingLine& line = model.line();
    geo::MapStatus status;
    status.startLatitude = line.startLatitude;
    status.startLongitude = line.startLongitude;
    status.endLatitude = line.endLatitude;
    status.endLongitude = line.endLongitude;
    switch (model.dfState()) {
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
    if (const auto bearing = model.bearing())
        status.bearing = bearing->degrees;
    if (const auto& last = model.lastDrawn())
        status.time = last->drawnAt;
    status.port = model.websitePort();
    return status;
}

} // namespace station
