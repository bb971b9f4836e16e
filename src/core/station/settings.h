#pragma once
// The station's settings as one value: what the settings file stores, in numbers. The file's module
// (settingsfile.h) alone turns it into lines and back; the start-up, the shutdown's write-back and the
// network link all take it from there.

#include "core/options/digitfields.h"

#include <QString>
#include <array>

namespace station {

struct Settings
{
    int commPort = 1; // COM port number, 1 to 255
    // One number per row of options::kDigitFields, as the file gives it; only checked() keeps each in
    // its field's range.
    std::array<int, options::kDigitFieldCount> digits{};
    bool south = false; // latitude hemisphere
    bool west = false;  // longitude hemisphere

    // The same settings after the start-up's digit check: a digit out of its field's range becomes the
    // field's fallback digit.
    Settings checked() const;

    // The digits of one setting written one after the other ("10000"), and the number they make (of
    // checked settings, whose digits are 0 to 9).
    QString digitsText(options::FieldRange range) const;
    int number(options::FieldRange range) const;

    int websitePort() const { return number(options::kWebsitePortFields); }
    int calibration() const { return number(options::kCalibrationFields); }

    bool operator==(const Settings&) const = default;
};

// The start-up's digit check of one number read for field options::kDigitFields[field].
int checkedDigit(int field, int value);

} // namespace station
