#pragma once
// The bytes a DF unit sends for one bearing, and the lines of a bearing list.

#include <string>
#include <string_view>

namespace dfsim {

struct SentenceFormat
{
    std::string trailer;   // after the three digits, before the CR; never holds a CR
    bool lineFeed = false; // an LF after the CR, as some units send
};

// "%", the bearing as three zero-padded digits, the trailer, CR, and LF when asked. bearing: 0 to 359.
std::string buildSentence(int bearing, const SentenceFormat& format);

// A trailer may hold anything but CR: a CR would end the sentence before its end.
bool validTrailer(std::string_view text);

// One line of a bearing list: a whole number 0 to 359 (leading zeros allowed, blanks around it and a
// CR at the end ignored); an empty line or one starting with "#" is skipped; anything else is invalid.
enum class LineKind { Bearing, Skip, Invalid };

struct ListLine
{
    LineKind kind = LineKind::Skip;
    int bearing = 0;
};

ListLine parseListLine(std::string_view line);

// A strict decimal integer (optional "-", digits, nothing else) within [low, high].
bool parseInteger(std::string_view text, long long low, long long high, long long& value);

} // namespace dfsim
