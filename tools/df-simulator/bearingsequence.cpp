#include "bearingsequence.h"

#include "aim.h"
#include "noisegenerator.h"
#include "sentences.h"

namespace dfsim {

namespace {

int wrapped(long long degrees)
{
    return static_cast<int>((degrees % 360 + 360) % 360);
}

} // namespace

BearingSequence BearingSequence::fixed(int bearing)
{
    return sweep(bearing, 0);
}

BearingSequence BearingSequence::sweep(int start, int step)
{
    BearingSequence sequence(Kind::Sweep);
    sequence.m_current = wrapped(start);
    sequence.m_step = wrapped(step);
    return sequence;
}

BearingSequence BearingSequence::list(std::istream& in, Warning warn, bool loop)
{
    BearingSequence sequence(Kind::List);
    sequence.m_in = &in;
    sequence.m_warn = std::move(warn);
    sequence.m_loop = loop;
    return sequence;
}

BearingSequence BearingSequence::scattered(int bearing, double spreadDegrees, NoiseGenerator& noise)
{
    BearingSequence sequence(Kind::Scattered);
    sequence.m_current = wrapped(bearing);
    sequence.m_spread = spreadDegrees;
    sequence.m_noise = &noise;
    return sequence;
}

std::optional<int> BearingSequence::next()
{
    if (m_kind == Kind::List)
        return nextFromList();
    if (m_kind == Kind::Scattered && m_spread > 0)
        return scatteredBearing(m_current, m_spread, m_noise->gaussian());
    const int bearing = m_current;
    m_current = wrapped(static_cast<long long>(m_current) + m_step);
    return bearing;
}

std::optional<int> BearingSequence::nextFromList()
{
    std::string line;
    while (m_in && std::getline(*m_in, line)) {
        ++m_lineNumber;
        const ListLine parsed = parseListLine(line);
        if (parsed.kind == LineKind::Bearing) {
            if (m_loop)
                m_seen.push_back(parsed.bearing);
            return parsed.bearing;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (parsed.kind == LineKind::Invalid && m_warn)
            m_warn("line " + std::to_string(m_lineNumber) + ": \"" + line
                   + "\" is not a bearing from 0 to 359; skipped");
    }
    m_in = nullptr; // the input has ended: later calls do not read it again
    if (m_seen.empty())
        return std::nullopt;
    const int bearing = m_seen[m_replay];
    m_replay = (m_replay + 1) % m_seen.size();
    return bearing;
}

} // namespace dfsim
