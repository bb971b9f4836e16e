// Whether the fix's 95 % ellipse means what it says: seeded trials (trials.h) round a target in southern
// England. Prints, one "name value" a line: the trials, how many found a fix, how many ellipses held the
// target, the fix's distance from the target (median and 90th percentile, metres) and the ellipses'
// median semi-major axis.
//
//   tarnvale-bench-fixcoverage [TRIALS [SEED [SPREAD_DEGREES]]]     (200, 1, 3)
#include "trials.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <cstdio>

namespace {

double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(share * static_cast<double>(values.size() - 1))];
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int trials = args.value(1, QStringLiteral("200")).toInt();
    const unsigned seed = args.value(2, QStringLiteral("1")).toUInt();
    const double spread = args.value(3, QStringLiteral("3")).toDouble();
    if (args.size() > 4 || trials < 1 || spread <= 0) {
        std::fprintf(stderr, "usage: tarnvale-bench-fixcoverage [TRIALS [SEED [SPREAD_DEGREES]]]\n");
        return 2;
    }
    const fixtrials::Coverage coverage = fixtrials::run(trials, seed, spread, 51.5, -1.2);
    std::printf("trials %d\nfixes %d\ninside %d\nmedian_error_m %.1f\np90_error_m %.1f\nmedian_semi_major_m %.1f\n",
                coverage.trials, coverage.fixes, coverage.inside, percentile(coverage.errors, 0.5),
                percentile(coverage.errors, 0.9), percentile(coverage.semiMajors, 0.5));
    return 0;
}
