// The simulator's bytes: sentences, noise and the bearings it reports.
#include "bearingsequence.h"
#include "noisegenerator.h"
#include "sentences.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace dfsim;

namespace {

std::vector<int> take(BearingSequence& sequence, int count)
{
    std::vector<int> out;
    for (int i = 0; i < count; ++i) {
        const auto bearing = sequence.next();
        if (!bearing)
            break;
        out.push_back(*bearing);
    }
    return out;
}

} // namespace

TEST(Sentences, AreStartDigitsTrailerCrAndOptionalLineFeed)
{
    EXPECT_EQ(buildSentence(45, {}), "%045\r");
    EXPECT_EQ(buildSentence(0, {}), "%000\r");
    EXPECT_EQ(buildSentence(359, {}), "%359\r");
    EXPECT_EQ(buildSentence(7, {"/7", false}), "%007/7\r");
    EXPECT_EQ(buildSentence(120, {"", true}), "%120\r\n");
    EXPECT_EQ(buildSentence(200, {"%x", true}), "%200%x\r\n"); // a further "%" is the unit's own affair
    EXPECT_TRUE(validTrailer("/7 Q%"));
    EXPECT_FALSE(validTrailer("/7\r"));
}

TEST(Sentences, NoiseNeverHoldsStartOrEndAndRepeatsForASeed)
{
    NoiseGenerator noise(12345);
    const std::string bytes = noise.bytes(100000);
    ASSERT_EQ(bytes.size(), 100000u);
    EXPECT_EQ(bytes.find('%'), std::string::npos);
    EXPECT_EQ(bytes.find('\r'), std::string::npos);
    // Every other byte value turns up, line feed and the bytes next to the forbidden ones included.
    std::vector<bool> seen(256, false);
    for (const char c : bytes)
        seen[static_cast<unsigned char>(c)] = true;
    for (int value = 0; value < 256; ++value)
        EXPECT_EQ(seen[value], NoiseGenerator::allowed(static_cast<unsigned char>(value))) << value;

    NoiseGenerator again(12345);
    EXPECT_EQ(again.bytes(100000), bytes);
    EXPECT_NE(NoiseGenerator(54321).bytes(64), bytes.substr(0, 64));
    EXPECT_EQ(NoiseGenerator(1).bytes(0), "");
}

TEST(BearingSequences, FixedAndSweepsWrapRoundTheCompass)
{
    auto fixed = BearingSequence::fixed(45);
    EXPECT_EQ(take(fixed, 3), (std::vector<int>{45, 45, 45}));

    auto up = BearingSequence::sweep(350, 5);
    EXPECT_EQ(take(up, 5), (std::vector<int>{350, 355, 0, 5, 10}));
    auto down = BearingSequence::sweep(5, -10);
    EXPECT_EQ(take(down, 3), (std::vector<int>{5, 355, 345}));
    auto whole = BearingSequence::sweep(0, 359);
    EXPECT_EQ(take(whole, 3), (std::vector<int>{0, 359, 358}));
    auto one = BearingSequence::sweep(0, 1);
    std::vector<int> lap = take(one, 361);
    EXPECT_EQ(lap[359], 359);
    EXPECT_EQ(lap[360], 0);
}

TEST(BearingSequences, ListLinesAreBearingsCommentsOrInvalid)
{
    struct Case
    {
        const char* line;
        LineKind kind;
        int bearing;
    };
    const Case cases[] = {
        {"45", LineKind::Bearing, 45},  {"045", LineKind::Bearing, 45}, {"0", LineKind::Bearing, 0},
        {"359", LineKind::Bearing, 359}, {"  12\t\r", LineKind::Bearing, 12},
        {"", LineKind::Skip, 0},         {"   \r", LineKind::Skip, 0},  {"# 45 degrees", LineKind::Skip, 0},
        {"360", LineKind::Invalid, 0},   {"-5", LineKind::Invalid, 0},  {"+5", LineKind::Invalid, 0},
        {"4.5", LineKind::Invalid, 0},   {"45 x", LineKind::Invalid, 0}, {"%045", LineKind::Invalid, 0},
        {"abc", LineKind::Invalid, 0},   {"99999999999999999999", LineKind::Invalid, 0},
    };
    for (const Case& c : cases) {
        const ListLine parsed = parseListLine(c.line);
        EXPECT_EQ(parsed.kind, c.kind) << '"' << c.line << '"';
        EXPECT_EQ(parsed.bearing, c.bearing) << '"' << c.line << '"';
    }
}

TEST(BearingSequences, AListSkipsAndReportsInvalidLinesThenEndsOrLoops)
{
    std::istringstream text("10\r\n# comment\n\nnorth\n20\n400\n30");
    std::vector<std::string> warnings;
    auto list = BearingSequence::list(text, [&](const std::string& w) { warnings.push_back(w); }, false);
    EXPECT_EQ(take(list, 10), (std::vector<int>{10, 20, 30}));
    EXPECT_FALSE(list.next());
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[0], "line 4: \"north\" is not a bearing from 0 to 359; skipped");
    EXPECT_NE(warnings[1].find("line 6: \"400\""), std::string::npos);

    std::istringstream again("1\n2\n");
    auto looped = BearingSequence::list(again, nullptr, true);
    EXPECT_EQ(take(looped, 5), (std::vector<int>{1, 2, 1, 2, 1}));

    std::istringstream nothing("x\n\n");
    auto empty = BearingSequence::list(nothing, nullptr, true);
    EXPECT_FALSE(empty.next()); // a loop over no bearing must end, not spin
}
