// The simulator's command line: what it takes, and what it refuses before touching any device.
#include "options.h"

#include <gtest/gtest.h>

using namespace dfsim;

namespace {

ParsedOptions parse(std::initializer_list<const char*> arguments)
{
    return parseOptions(std::vector<std::string>(arguments.begin(), arguments.end()));
}

} // namespace

TEST(SimulatorOptions, TakesTheDocumentedForms)
{
    const ParsedOptions a = parse({"--port", "3", "--link-folder=/tmp/x", "--sweep", "350:-10", "--period",
                                   "0", "--count", "5", "--trailer", "/7", "--lf", "--noise", "4", "--seed",
                                   "4294967295", "--wait-open"});
    ASSERT_EQ(a.error, "");
    EXPECT_EQ(a.options.target, Options::Target::Link);
    EXPECT_EQ(a.options.port, 3);
    EXPECT_EQ(a.options.linkFolder, "/tmp/x");
    EXPECT_TRUE(a.options.waitOpen);
    EXPECT_EQ(a.options.source, Options::Source::Sweep);
    EXPECT_EQ(a.options.bearing, 350);
    EXPECT_EQ(a.options.sweepStep, -10);
    EXPECT_EQ(a.options.periodMs, 0);
    EXPECT_EQ(a.options.count, 5);
    EXPECT_EQ(a.options.format.trailer, "/7");
    EXPECT_TRUE(a.options.format.lineFeed);
    EXPECT_EQ(a.options.noiseBytes, 4);
    EXPECT_EQ(a.options.seed, 4294967295u);

    const ParsedOptions b = parse({"--device", "/dev/ttyUSB0", "--file", "-"});
    ASSERT_EQ(b.error, "");
    EXPECT_EQ(b.options.target, Options::Target::Device);
    EXPECT_EQ(b.options.source, Options::Source::List);
    EXPECT_EQ(b.options.file, "-");
    EXPECT_EQ(b.options.periodMs, 1000);
    EXPECT_FALSE(b.options.count);

    EXPECT_TRUE(parse({"--bearing", "x", "--help"}).help); // help wins over a mistake ...
    EXPECT_NE(parse({"--bogus", "--help"}).error, "");     // ... but not over an unknown word
}

TEST(SimulatorOptions, RefusesWhatCannotBeSent)
{
    const std::vector<std::vector<const char*>> refused = {
        {},
        {"--bearing", "45"},                                           // nowhere to send
        {"--device", "/dev/x", "--port", "1", "--bearing", "45"},      // two places
        {"--port", "1"},                                               // nothing to send
        {"--port", "1", "--bearing", "45", "--sweep", "0:1"},          // two sources
        {"--port", "0", "--bearing", "45"},
        {"--port", "256", "--bearing", "45"},
        {"--port", "1", "--bearing", "360"},
        {"--port", "1", "--bearing", "-1"},
        {"--port", "1", "--bearing", "4.5"},
        {"--port", "1", "--bearing", ""},
        {"--port", "1", "--sweep", "10"},
        {"--port", "1", "--sweep", "360:1"},
        {"--port", "1", "--sweep", "0:360"},
        {"--port", "1", "--bearing", "1", "--period", "-1"},
        {"--port", "1", "--bearing", "1", "--count", "0"},
        {"--port", "1", "--bearing", "1", "--noise", "100001"},
        {"--port", "1", "--bearing", "1", "--seed", "4294967296"},
        {"--port", "1", "--bearing", "1", "--trailer", "/7\r"},
        {"--port", "1", "--bearing", "1", "--loop"},
        {"--port", "1", "--file", "-", "--loop"},
        {"--device", "/dev/x", "--bearing", "1", "--wait-open"},
        {"--device", "/dev/x", "--bearing", "1", "--link-folder", "/tmp"},
        {"--port", "1", "--bearing", "1", "--bearing", "2"},
        {"--port", "1", "--bearing"},
        {"--port", "1", "--bearing", "1", "--lf=yes"},
    };
    for (const auto& arguments : refused) {
        const ParsedOptions parsed = parseOptions(std::vector<std::string>(arguments.begin(), arguments.end()));
        std::string line;
        for (const char* a : arguments)
            line += std::string(a) + ' ';
        EXPECT_NE(parsed.error, "") << line;
        EXPECT_FALSE(parsed.help) << line;
    }
}
