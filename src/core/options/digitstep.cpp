#include "digitstep.h"

namespace options {

std::optional<int> plainStep(int digit, int highest, Step step)
{
    if (digit < 0 || digit > highest)
        return std::nullopt;
    if (step == Step::Up)
        return digit == highest ? 0 : digit + 1;
    return digit == 0 ? highest : digit - 1;
}

std::optional<int> longitudeTensStep(int tens, int hundreds, Step step)
{
    const bool hundredsIsOne = hundreds == 1;
    if (step == Step::Up && tens == 7)
        return hundredsIsOne ? 0 : 8;
    if (step == Step::Down && tens == 0)
        return hundredsIsOne ? 7 : 9;
    return plainStep(tens, 9, step);
}

HundredsToggle longitudeHundredsToggle(int hundreds, int tens)
{
    if (hundreds == 0) {
        HundredsToggle result{1, std::nullopt};
        if (tens > 7)
            result.tens = 7;
        return result;
    }
    if (hundreds == 1)
        return {0, std::nullopt};
    return {};
}

} // namespace options
