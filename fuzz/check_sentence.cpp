// Sentence receiver: framing never grows past its bound, every completed sentence is "%" ... CR with no
// CR inside, and its bearing is the field's number plus the calibration, wrapped once.
#include "checks.h"
#include "reference.h"

#include "core/bearing/bearingfield.h"
#include "core/bearing/sentenceframer.h"

namespace fuzzcheck {

std::string sentence(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return {};
    const auto calibration = static_cast<qint16>(data[0] | (data[1] << 8));
    const bool wide = (data[2] & 1) != 0;
    const QString input = textFrom(reinterpret_cast<const char*>(data) + 3, size - 3, wide);

    bool arriving = false;
    QString buffer;
    bearing::SentenceFramer framer(arriving, buffer);
    for (QChar c : input) {
        const bool complete = framer.take(c);
        if (buffer.size() > bearing::kMaxSentenceLength)
            return "buffer grew to " + std::to_string(buffer.size());
        if (arriving == buffer.isEmpty())
            return "arriving flag and buffer disagree";
        if (!buffer.isEmpty() && buffer.front() != u'%')
            return "sentence does not begin with %: " + describe(buffer);
        if (complete != (c == u'\r' && !buffer.isEmpty()))
            return "completion reported wrongly after " + describe(buffer);
        if (!complete)
            continue;
        if (buffer.indexOf(u'\r') != buffer.size() - 1)
            return "CR inside a sentence: " + describe(buffer);

        const std::optional<qint16> got = bearing::calibratedBearing(buffer, calibration);
        const std::optional<int> field = referenceInt16(referenceNumber(QStringView(buffer).mid(1, 3)));
        std::optional<int> want;
        if (field) {
            int degrees = calibration + *field;
            if (degrees >= -32768 && degrees <= 32767)
                want = degrees > 359 ? degrees - 360 : degrees;
        }
        if (got.has_value() != want.has_value() || (got && *got != *want))
            return "bearing of " + describe(buffer) + " with calibration " + std::to_string(calibration) + ": got "
                + (got ? std::to_string(*got) : "none") + ", want " + (want ? std::to_string(*want) : "none");
        framer.reset();
        if (arriving || !buffer.isEmpty())
            return "reset left a sentence behind";
    }
    return {};
}

} // namespace fuzzcheck
