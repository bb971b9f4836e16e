#include "numbertext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace platform {

namespace {

bool isSkipped(QChar c) { return c == u' ' || c == u'\t' || c == u'\n'; }

// Copies the characters that make up the leading number into `out`, dropping skipped blanks.
void collectNumber(QStringView text, std::string& out)
{
    enum class Stage { Sign, Integer, Fraction, ExponentSign, ExponentDigits };
    Stage stage = Stage::Sign;
    // Held back until a digit proves the exponent real. Set with assign(1, 'e'): GCC 12 at -O3 warns
    // falsely (-Wrestrict) on assigning a string literal here.
    std::string exponent;
    for (QChar c : text) {
        if (isSkipped(c))
            continue;
        const char ch = c.toLatin1();
        const bool digit = ch >= '0' && ch <= '9';
        switch (stage) {
        case Stage::Sign:
            if (ch == '+' || ch == '-') {
                if (ch == '-')
                    out += '-';
                stage = Stage::Integer;
                continue;
            }
            [[fallthrough]];
        case Stage::Integer:
            if (digit) { out += ch; stage = Stage::Integer; continue; }
            if (ch == '.') { out += '.'; stage = Stage::Fraction; continue; }
            if (ch == 'E' || ch == 'e') { exponent.assign(1, 'e'); stage = Stage::ExponentSign; continue; }
            return;
        case Stage::Fraction:
            if (digit) { out += ch; continue; }
            if (ch == 'E' || ch == 'e') { exponent.assign(1, 'e'); stage = Stage::ExponentSign; continue; }
            return;
        case Stage::ExponentSign:
            if (ch == '+' || ch == '-') { exponent += ch; stage = Stage::ExponentDigits; continue; }
            [[fallthrough]];
        case Stage::ExponentDigits:
            if (digit) {
                out += exponent;
                exponent.clear();
                out += ch;
                stage = Stage::ExponentDigits;
                continue;
            }
            return;
        }
    }
}

// The power of ten of a number's first significant digit: 2 for "123.4", -2 for "0.01e0", 5 for "1e5".
// Only called for a number with a significant digit that is out of the double's range.
long long decimalMagnitude(const std::string& mantissa, const std::string& expPart)
{
    const size_t point = std::min(mantissa.find('.'), mantissa.size());
    const size_t first = std::min(mantissa.find_first_of("123456789"), mantissa.size());
    long long magnitude = first < point ? static_cast<long long>(point - first) - 1
                                        : -static_cast<long long>(first - point);
    long long exponent = 0;
    for (char ch : expPart) {
        if (ch >= '0' && ch <= '9' && exponent < 1000000000)
            exponent = exponent * 10 + (ch - '0');
    }
    return magnitude + (expPart.find('-') != std::string::npos ? -exponent : exponent);
}

} // namespace

double readNumber(QStringView text)
{
    std::string number;
    collectNumber(text, number);
    // A lone sign or point, or nothing at all, is no number.
    const bool hasDigit = number.find_first_of("0123456789") != std::string::npos;
    if (!hasDigit)
        return 0.0;
    std::string mantissa = number;
    std::string expPart;
    if (const auto e = number.find('e'); e != std::string::npos) {
        mantissa = number.substr(0, e);
        expPart = number.substr(e);
    }
    // from_chars wants at least one digit before or after the point.
    if (mantissa.find_first_of("0123456789") == std::string::npos)
        return 0.0;
    const std::string normalised = mantissa + expPart;
    double value = 0.0;
    const char* first = normalised.data();
    const char* last = first + normalised.size();
    const auto result = std::from_chars(first, last, value);
    if (result.ec == std::errc::result_out_of_range) {
        // Overflow reads as infinity, underflow as zero; either way, keep the sign. Which of the two it
        // is follows from the decimal magnitude, not from the exponent's sign alone: hundreds of digits
        // before the point overflow even with a negative exponent.
        const bool negative = normalised.front() == '-';
        const bool tiny = decimalMagnitude(mantissa, expPart) < 0;
        if (tiny)
            return negative ? -0.0 : 0.0;
        return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    }
    return value;
}

std::optional<qint32> toInt32(double value)
{
    const double rounded = std::nearbyint(value); // default rounding mode: halves to even
    if (!(rounded >= std::numeric_limits<qint32>::min() && rounded <= std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return static_cast<qint32>(rounded);
}

std::optional<qint16> readInt16(QStringView text)
{
    const auto wide = toInt32(readNumber(text));
    if (!wide || *wide < std::numeric_limits<qint16>::min() || *wide > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<qint16>(*wide);
}

QString numberText(qint64 value)
{
    return (value < 0 ? QString() : QStringLiteral(" ")) + QString::number(value);
}

} // namespace platform
