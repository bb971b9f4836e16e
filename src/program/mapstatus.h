#pragma once
// What the live map shows of a station: the position and line ends as the KML document has them, the
// bearing while its line is drawn, the DF state and when the last bearing was drawn.

#include "core/geo/geojson.h"

namespace station {

class StationModel;

// df: "test" while test mode is on, else "off" while DF input is off, else "detected" while a bearing
// is valid, else "silent". bearing: the last one drawn, unless the line is collapsed onto the station.
geo::MapStatus mapStatus(const StationModel& model);

} // namespace station
