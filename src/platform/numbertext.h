#pragma once
// The station's two number conventions, shared by every subsystem: reading the number a text begins
// with (bearing fields, coordinate texts, digit tags, settings lines) and writing a number in the
// signed form the station shows (bearing caption, Content-Length, settings lines).

#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <optional>

namespace platform {

// The number a text begins with. Blanks, tabs and line feeds are skipped wherever they stand; then an
// optional sign, digits with an optional "." fraction, and an optional exponent ("E" and digits).
// Reading stops at the first character that cannot continue the number; no number reads as 0.
// The separator is always ".", whatever the locale. Values too large for a double read as +/-inf.
double readNumber(QStringView text);

// readNumber() stored into a 16-bit integer: rounded to the nearest integer, halves to even.
// Empty when the rounded value does not fit 16 bits.
std::optional<qint16> readInt16(QStringView text);

// A value rounded half to even into 32 bits; empty when it does not fit.
std::optional<qint32> toInt32(double value);

// " 45" for 45, " 0" for 0, "-5" for -5: a blank or "-" in the sign place, no leading zeros.
QString numberText(qint64 value);

} // namespace platform
