#include "noisegenerator.h"

#include <cmath>

namespace dfsim {

std::string NoiseGenerator::bytes(int count)
{
    std::string out;
    out.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        // 254 allowed values: draw among them and step over the two forbidden ones. The engine's raw
        // output is used rather than a distribution, whose results differ between libraries.
        unsigned value = static_cast<unsigned>(m_engine() % 254u);
        if (value >= '\r')
            ++value;
        if (value >= '%')
            ++value;
        out += static_cast<char>(value);
    }
    return out;
}

double NoiseGenerator::gaussian()
{
    // Box-Muller on the engine's raw output, for the same reason as above. u is kept above 0 so the
    // logarithm stays finite; that bounds a draw by sqrt(2 ln 2^32).
    constexpr double kTwoTo32 = 4294967296.0;
    constexpr double kTwoPi = 6.283185307179586;
    const double u = (static_cast<double>(m_engine()) + 1) / (kTwoTo32 + 1);
    const double v = static_cast<double>(m_engine()) / kTwoTo32;
    return std::sqrt(-2 * std::log(u)) * std::cos(kTwoPi * v);
}

} // namespace dfsim
