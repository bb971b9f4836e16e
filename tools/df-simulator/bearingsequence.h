#pragma once
// The bearings the simulated DF unit reports, one after the other: a fixed bearing, a sweep round the
// compass, a list read line by line (a file, or standard input as it arrives), or one bearing
// scattered as a real unit's readings scatter.

#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace dfsim {

class NoiseGenerator;

class BearingSequence
{
public:
    using Warning = std::function<void(const std::string&)>;

    static BearingSequence fixed(int bearing);
    // start, start + step, ... wrapped into 0 to 359; a negative step turns anticlockwise.
    static BearingSequence sweep(int start, int step);
    // One bearing per line (see parseListLine). Invalid lines are skipped and reported through warn
    // with their line number, so one typo does not end a long run. With loop the list starts over at
    // its end; without it the sequence ends there.
    static BearingSequence list(std::istream& in, Warning warn, bool loop);
    // bearing with a normal scatter of spreadDegrees drawn from noise for each reading, rounded to
    // whole degrees (see scatteredBearing); a spread of 0 reports the bearing itself and draws nothing.
    static BearingSequence scattered(int bearing, double spreadDegrees, NoiseGenerator& noise);

    // The next bearing, or nothing once a list has ended (or holds no bearing at all).
    std::optional<int> next();

private:
    enum class Kind { Sweep, List, Scattered };
    explicit BearingSequence(Kind kind) : m_kind(kind) {}

    std::optional<int> nextFromList();

    Kind m_kind;
    int m_current = 0;
    int m_step = 0;
    double m_spread = 0;
    NoiseGenerator* m_noise = nullptr;
    std::istream* m_in = nullptr;
    Warning m_warn;
    bool m_loop = false;
    long long m_lineNumber = 0;
    std::vector<int> m_seen; // kept for looping only
    size_t m_replay = 0;
};

} // namespace dfsim
