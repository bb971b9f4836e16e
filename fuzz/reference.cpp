#include "reference.h"

#include <clocale>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

namespace fuzzcheck {

namespace {

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

} // namespace

double referenceNumber(QStringView text)
{
    QString kept;
    for (QChar c : text) {
        if (c != u' ' && c != u'\t' && c != u'\n')
            kept += c;
    }
    qsizetype i = 0;
    std::string prefix;
    if (i < kept.size() && (kept[i] == u'+' || kept[i] == u'-'))
        prefix += char(kept[i++].unicode());
    int mantissaDigits = 0;
    while (i < kept.size() && isDigit(kept[i])) {
        prefix += char(kept[i++].unicode());
        ++mantissaDigits;
    }
    if (i < kept.size() && kept[i] == u'.') {
        prefix += '.';
        ++i;
        while (i < kept.size() && isDigit(kept[i])) {
            prefix += char(kept[i++].unicode());
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return 0.0;
    if (i < kept.size() && (kept[i] == u'E' || kept[i] == u'e')) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < kept.size() && (kept[j] == u'+' || kept[j] == u'-'))
            exponent += char(kept[j++].unicode());
        bool digits = false;
        while (j < kept.size() && isDigit(kept[j])) {
            exponent += char(kept[j++].unicode());
            digits = true;
        }
        if (digits)
            prefix += exponent;
    }
    std::setlocale(LC_NUMERIC, "C");
    return std::strtod(prefix.c_str(), nullptr);
}

std::optional<int> referenceInt16(double value)
{
    if (!std::isfinite(value) || value > 40000.0 || value < -40000.0)
        return std::nullopt;
    double whole = std::floor(value);
    const double rest = value - whole;
    if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0.0))
        whole += 1.0;
    if (whole < -32768.0 || whole > 32767.0)
        return std::nullopt;
    return static_cast<int>(whole);
}

bool referenceMatch(QStringView text, QStringView pattern)
{
    const qsizetype n = text.size();
    const qsizetype m = pattern.size();
    // row[j]: pattern[j..] matches text[i..] for the row's i.
    std::vector<char> next(static_cast<size_t>(m) + 1, 0);
    std::vector<char> row(static_cast<size_t>(m) + 1, 0);
    // i == n: only stars may remain.
    next[static_cast<size_t>(m)] = 1;
    for (qsizetype j = m - 1; j >= 0; --j)
        next[static_cast<size_t>(j)] = pattern[j] == u'*' && next[static_cast<size_t>(j) + 1];
    for (qsizetype i = n - 1; i >= 0; --i) {
        row[static_cast<size_t>(m)] = 0;
        for (qsizetype j = m - 1; j >= 0; --j) {
            const auto J = static_cast<size_t>(j);
            if (pattern[j] == u'*')
                row[J] = row[J + 1] || next[J];
            else
                row[J] = (pattern[j] == u'?' || pattern[j] == text[i]) && next[J + 1];
        }
        std::swap(row, next);
    }
    return next[0] != 0;
}

QString textFrom(const char* data, std::size_t size, bool wide)
{
    if (!wide)
        return QString::fromLatin1(data, static_cast<qsizetype>(size));
    return QString::fromUtf8(data, static_cast<qsizetype>(size));
}

std::string describe(QStringView text)
{
    std::string out;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x20 && u < 0x7f) {
            out += char(u);
        } else {
            char buffer[12];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", unsigned(u));
            out += buffer;
        }
        if (out.size() > 200) {
            out += "...";
            break;
        }
    }
    return out;
}

} // namespace fuzzcheck
