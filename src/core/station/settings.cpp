#include "settings.h"

namespace station {

int checkedDigit(int field, int value)
{
    const options::DigitField& f = options::kDigitFields.at(static_cast<size_t>(field));
    return value >= 0 && value <= f.accepted - '0' ? value : f.fallback - '0';
}

Settings Settings::checked() const
{
    Settings out = *this;
    for (int field = 0; field < options::kDigitFieldCount; ++field)
        out.digits[static_cast<size_t>(field)] = checkedDigit(field, digits[static_cast<size_t>(field)]);
    return out;
}

QString Settings::digitsText(options::FieldRange range) const
{
    QString text;
    for (int field = range.first; field < range.first + range.count; ++field)
        text += QString::number(digits[static_cast<size_t>(field)]);
    return text;
}

int Settings::number(options::FieldRange range) const
{
    int value = 0;
    for (int field = range.first; field < range.first + range.count; ++field)
        value = 10 * value + digits[static_cast<size_t>(field)];
    return value;
}

} // namespace station
