// Number read from text: the same value as a strtod reading of the same number, and the 16-bit form
// rounded half to even, or empty exactly when it does not fit.
#include "checks.h"
#include "reference.h"

#include "platform/numbertext.h"

#include <cfloat>
#include <cmath>

namespace fuzzcheck {

std::string number(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return {};
    const QString text = textFrom(reinterpret_cast<const char*>(data) + 1, size - 1, (data[0] & 1) != 0);
    const double got = platform::readNumber(text);
    const double want = referenceNumber(text);
    if (std::isnan(got))
        return "NaN read from " + describe(text);
    // Both readings round correctly; only results below the normal range may differ in how they flush.
    const bool same = got == want || (std::fabs(want) < DBL_MIN && std::fabs(got) < DBL_MIN);
    if (!same) {
        char values[80];
        std::snprintf(values, sizeof values, "got %.17g, want %.17g", got, want);
        return "number " + describe(text) + ": " + values;
    }

    const std::optional<qint16> rounded = platform::readInt16(text);
    const std::optional<int> wantRounded = referenceInt16(want);
    if (rounded.has_value() != wantRounded.has_value() || (rounded && *rounded != *wantRounded))
        return "16-bit reading of " + describe(text) + ": got " + (rounded ? std::to_string(*rounded) : "none")
            + ", want " + (wantRounded ? std::to_string(*wantRounded) : "none");

    // The written form reads back as the same number.
    if (rounded && platform::readInt16(platform::numberText(*rounded)) != rounded)
        return "written form of " + std::to_string(*rounded) + " reads back differently";
    return {};
}

} // namespace fuzzcheck
