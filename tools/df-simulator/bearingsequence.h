#pragma once
// The bearings the simulated DF unit reports, one after the other: a fixed bearing, a sweep round the
// compass, or a list read line by line (a file, or standard input as it arrives).

#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace dfsim {

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

    // The next bearing, or nothing once a list has ended (or holds no bearing at all).
    std::optional<int> next();

private:
    enum class Kind { Sweep, List };
    explicit BearingSequence(Kind kind) : m_kind(kind) {}

    std::optional<int> nextFromList();

    Kind m_kind;
    int m_current = 0;
    int m_step = 0;
    std::istream* m_in = nullptr;
    Warning m_warn;
    bool m_loop = false;
    long long m_lineNumber = 0;
    std::vector<int> m_seen; // kept for looping only
    size_t m_replay = 0;
};

} // namespace dfsim
