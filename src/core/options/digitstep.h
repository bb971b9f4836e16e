#pragma once
// Stepping one digit field up or down. Digits never carry or borrow into their neighbours; a tag that
// is not exactly one of the field's digits is left as it is (the result is then empty).

#include <QStringView>
#include <optional>

namespace options {

enum class Step { Up, Down };

// The value v in 0..highest whose decimal text equals the tag exactly.
std::optional<int> digitValue(QStringView tag, int highest);

// A digit of the range 0..highest: up wraps from highest to 0, down from 0 to highest.
std::optional<int> plainStep(QStringView tag, int highest, Step step);

// Tens of degrees of longitude. While the hundreds digit reads 1 the tens cycle through 0 to 7, so
// the longitude never passes 179 degrees; otherwise they step over 0 to 9.
std::optional<int> longitudeTensStep(QStringView tensTag, QStringView hundredsTag, Step step);

// Hundreds of degrees of longitude: both buttons toggle 0 and 1. Turning it to 1 cuts tens above 7
// down to 7. Each member is the new digit of that field, empty where the field stays as it is.
struct HundredsToggle
{
    std::optional<int> hundreds;
    std::optional<int> tens;
};
HundredsToggle longitudeHundredsToggle(QStringView hundredsTag, QStringView tensTag);

} // namespace options
