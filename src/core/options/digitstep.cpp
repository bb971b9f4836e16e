#include "digitstep.h"

#include "platform/numbertext.h"

#include <QString>

namespace options {

std::optional<int> digitValue(QStringView tag, int highest)
{
    for (int v = 0; v <= highest; ++v) {
        if (tag == QString::number(v))
            return v;
    }
    return std::nullopt;
}

std::optional<int> plainStep(QStringView tag, int highest, Step step)
{
    const auto v = digitValue(tag, highest);
    if (!v)
        return std::nullopt;
    if (step == Step::Up)
        return *v == highest ? 0 : *v + 1;
    return *v == 0 ? highest : *v - 1;
}

std::optional<int> longitudeTensStep(QStringView tensTag, QStringView hundredsTag, Step step)
{
    const bool hundredsIsOne = platform::readNumber(hundredsTag) == 1.0;
    if (step == Step::Up && tensTag == u"7")
        return hundredsIsOne ? 0 : 8;
    if (step == Step::Down && tensTag == u"0")
        return hundredsIsOne ? 7 : 9;
    return plainStep(tensTag, 9, step);
}

HundredsToggle longitudeHundredsToggle(QStringView hundredsTag, QStringView tensTag)
{
    if (hundredsTag == u"0") {
        HundredsToggle result{1, std::nullopt};
        if (platform::readNumber(tensTag) > 7)
            result.tens = 7;
        return result;
    }
    if (hundredsTag == u"1")
        return {0, std::nullopt};
    return {};
}

} // namespace options
