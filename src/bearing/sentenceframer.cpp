#include "sentenceframer.h"

namespace bearing {

namespace {
constexpr QChar kStart = u'%';
constexpr QChar kEnd = u'\r';
} // namespace

bool SentenceFramer::take(QChar c)
{
    if (m_arriving != platform::kFalse && m_buffer.size() >= kMaxSentenceLength)
        reset(); // overlong: drop it, and let this character be judged as between sentences

    if (m_arriving == platform::kFalse) {
        if (c != kStart)
            return false;
        m_arriving = platform::kTrue;
    }
    m_buffer.append(c);
    return c == kEnd;
}

void SentenceFramer::reset()
{
    m_buffer.clear();
    m_arriving = platform::kFalse;
}

} // namespace bearing
