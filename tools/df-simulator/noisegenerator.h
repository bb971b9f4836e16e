#pragma once
// Line noise between sentences: random bytes that can never be taken for the start ("%") or the end
// (CR) of a sentence, so the sentences around them stay exactly as they were sent. Also the scatter
// of aimed bearings, drawn from the same seeded engine so that --seed repeats a run of either.

#include <cstdint>
#include <random>
#include <string>

namespace dfsim {

class NoiseGenerator
{
public:
    explicit NoiseGenerator(std::uint32_t seed) : m_engine(seed) {}

    std::string bytes(int count);

    // A standard normal draw (mean 0, standard deviation 1), never beyond about 6.7 either way.
    double gaussian();

    static bool allowed(unsigned char byte) { return byte != '%' && byte != '\r'; }

private:
    std::mt19937 m_engine; // fully specified by the standard: a seed repeats the same noise anywhere
};

} // namespace dfsim
