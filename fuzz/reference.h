#pragma once
// Independent readings used as references by the fuzz checks: written plainly, from the rules rather
// than from the program's code, so that the two can disagree.

#include <QString>
#include <QStringView>
#include <optional>
#include <string>

namespace fuzzcheck {

// The number a text begins with: blanks, tabs and line feeds dropped wherever they stand, then the
// longest prefix of the form [+-] digits [. digits] [(E|e) [+-] digits], read with strtod in the C
// locale. A prefix without a digit in its mantissa reads as 0.
double referenceNumber(QStringView text);

// Rounded half to even into 16 bits, or empty when it does not fit.
std::optional<int> referenceInt16(double value);

// Whole-text wildcard match by a table over (text position, pattern position).
bool referenceMatch(QStringView text, QStringView pattern);

// Turns a few bytes into text two ways, so that the checks see Latin-1 and wider characters alike.
QString textFrom(const char* data, std::size_t size, bool wide);

std::string describe(QStringView text);

} // namespace fuzzcheck
