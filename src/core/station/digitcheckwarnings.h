#pragma once
// What the start-up's digit check tells standard error. The check itself stays as it is (a digit out of
// its field's range becomes the fallback, the position's degrees are not bounded), but an operator who
// edited the settings file by hand reads which line was not taken, and a longitude that leaves the
// Earth, instead of finding a station somewhere else on the map.

#include "settings.h"

#include <QString>

namespace station {

// For the digit field options::kDigitFields[field] holding `value` as read from the settings file: one
// line naming the file's line, the value and the fallback put in its place; empty when the check keeps
// the value.
QString digitCheckWarning(int field, int value);

// For checked settings: one line when their longitude lies beyond 180 degrees, with the coordinate text
// the map is given all the same (`served`); empty otherwise.
QString longitudeWarning(const Settings& settings, const QString& served);

} // namespace station
