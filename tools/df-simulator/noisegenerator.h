#pragma once
// Line noise between sentences: random bytes that can never be taken for the start ("%") or the end
// (CR) of a sentence, so the sentences around them stay exactly as they were sent.

#include <cstdint>
#include <random>
#include <string>

namespace dfsim {

class NoiseGenerator
{
public:
    explicit NoiseGenerator(std::uint32_t seed) : m_engine(seed) {}

    std::string bytes(int count);

    static bool allowed(unsigned char byte) { return byte != '%' && byte != '\r'; }

private:
    std::mt19937 m_engine; // fully specified by the standard: a seed repeats the same noise anywhere
};

} // namespace dfsim
