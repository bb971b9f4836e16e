#pragma once
// The far end of the 25-mile bearing line, on a flat local approximation: a degree of latitude is
// 60 nautical miles everywhere and the east offset is stretched by one over the cosine of the
// station latitude. Map viewers and operators rely on the exact results, so the constants are the
// station's own (6.283 stands in for 2 pi throughout). Plain C++ without Qt, so that the DF
// simulator aims with the very line the station draws.

namespace geo {

struct LineEndDegrees
{
    double latitude = 0;
    double longitude = 0;
};

// From a station at (latitude, longitude) in signed degrees, along a whole-degree bearing. The
// results are not wrapped: a line crossing 180 degrees ends beyond it, as the station writes it.
LineEndDegrees lineEndDegrees(double latitude, double longitude, int bearingDegrees);

} // namespace geo
