#include "noisegenerator.h"

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

} // namespace dfsim
