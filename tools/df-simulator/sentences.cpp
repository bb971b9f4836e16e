#include "sentences.h"

#include <charconv>

namespace dfsim {

std::string buildSentence(int bearing, const SentenceFormat& format)
{
    std::string out = "%";
    out += static_cast<char>('0' + bearing / 100);
    out += static_cast<char>('0' + bearing / 10 % 10);
    out += static_cast<char>('0' + bearing % 10);
    out += format.trailer;
    out += '\r';
    if (format.lineFeed)
        out += '\n';
    return out;
}

bool validTrailer(std::string_view text)
{
    return text.find('\r') == std::string_view::npos;
}

bool parseInteger(std::string_view text, long long low, long long high, long long& value)
{
    if (text.empty() || text.front() == '+')
        return false;
    long long parsed = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, parsed);
    if (error != std::errc() || stop != end || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

ListLine parseListLine(std::string_view line)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!line.empty() && blank(line.front()))
        line.remove_prefix(1);
    while (!line.empty() && blank(line.back()))
        line.remove_suffix(1);
    if (line.empty() || line.front() == '#')
        return {LineKind::Skip, 0};
    long long value = 0;
    if (line.front() == '-' || !parseInteger(line, 0, 359, value))
        return {LineKind::Invalid, 0};
    return {LineKind::Bearing, static_cast<int>(value)};
}

} // namespace dfsim
