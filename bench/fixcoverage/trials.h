#pragma once
// Seeded trials of the fix against a known target: three stations 10 to 20 km from it, spread round it
// (120 degrees apart, give or take 30), each reporting the true bearing plus Gaussian noise rounded to
// whole degrees as a DF unit sends it, each line drawn with the station's own end-point computation.
// Shared by the bench program and the test that keeps the ellipse honest.

#include <vector>

namespace fixtrials {

struct Coverage
{
    int trials = 0;
    int fixes = 0;              // trials with a fix
    int inside = 0;             // fixes whose 95 % ellipse holds the target
    std::vector<double> errors; // metres from each fix to the target
    std::vector<double> semiMajors;
};

Coverage run(int trials, unsigned seed, double spreadDegrees, double targetLatitude, double targetLongitude);

} // namespace fixtrials
