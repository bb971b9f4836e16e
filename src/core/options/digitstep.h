#pragma once
// Stepping one digit field up or down. Digits never carry or borrow into their neighbours; a digit
// outside the field's range is left as it is (the result is then empty).

#include <optional>

namespace options {

enum class Step { Up, Down };

// A digit of the range 0..highest: up wraps from highest to 0, down from 0 to highest.
std::optional<int> plainStep(int digit, int highest, Step step);

// Tens of degrees of longitude. While the hundreds digit is 1 the tens cycle through 0 to 7, so
// the longitude never passes 179 degrees; otherwise they step over 0 to 9.
std::optional<int> longitudeTensStep(int tens, int hundreds, Step step);

// Hundreds of degrees of longitude: both buttons toggle 0 and 1. Turning it to 1 cuts tens above 7
// down to 7. Each member is the new digit of that field, empty where the field stays as it is.
struct HundredsToggle
{
    std::optional<int> hundreds;
    std::optional<int> tens;
};
HundredsToggle longitudeHundredsToggle(int hundreds, int tens);

} // namespace options
