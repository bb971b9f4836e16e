#pragma once
// Aiming at a transmitter: the whole-degree bearing a DF unit at a station would report for a
// transmitter at a target, judged by the line the station itself draws for each bearing, and that
// bearing scattered as a real unit's readings scatter.

namespace dfsim {

struct GeoPoint
{
    double latitude = 0;  // degrees, north positive
    double longitude = 0; // degrees, east positive
};

// The metres from target to the station's drawn line for bearing (the 25-mile segment from the
// station to its end), on a flat east-north plane about the station, longitudes taken across 180.
double missDistance(const GeoPoint& station, const GeoPoint& target, int bearing);

// The bearing from 0 to 359 whose drawn line passes nearest the target; of equally near ones, the
// lowest.
int nearestBearing(const GeoPoint& station, const GeoPoint& target);

// bearing plus spread times a standard normal draw, rounded to whole degrees and wrapped into 0 to 359.
int scatteredBearing(int bearing, double spreadDegrees, double standardNormal);

} // namespace dfsim
