#include "sentenceframer.h"

namespace bearing {

namespace {
constexpr QChar kStart = u'%';
constexpr QChar kEnd = u'\r';
} // namespace

bool SentenceFramer::take(QChar c)
{
    if (m_arriving && m_buffer.size() >= kMaxSentenceLength)
        reset(); // overlong: drop it, and let this character be judged as between sentences

    if (!m_arriving) {
        if (c != kStart)
            return false;
        m_arriving = true;
    }
    m_buffer.append(c);
    return c == kEnd;
}

void SentenceFramer::reset()
{
    m_buffer.clear();
    m_arriving = false;
}

} // namespace bearing
