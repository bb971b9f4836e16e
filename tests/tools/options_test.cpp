// The simulator's command line: what it takes, and what it refuses before touching any device.
#include "options.h"

#include <gtest/gtest.h>

#include <utility>

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

    const ParsedOptions c = parse({"--port", "2", "--station", "-33.9,151.2", "--target=-34.05,150.975", "--spread", "2.5"});
    ASSERT_EQ(c.error, "");
    EXPECT_EQ(c.options.source, Options::Source::Aimed);
    EXPECT_DOUBLE_EQ(c.options.station.latitude, -33.9);
    EXPECT_DOUBLE_EQ(c.options.station.longitude, 151.2);
    EXPECT_DOUBLE_EQ(c.options.aim.latitude, -34.05);
    EXPECT_DOUBLE_EQ(c.options.aim.longitude, 150.975);
    EXPECT_DOUBLE_EQ(c.options.spread, 2.5);
    EXPECT_DOUBLE_EQ(parse({"--port", "2", "--station", "0,0", "--target", "0,1"}).options.spread, 0);

    EXPECT_TRUE(parse({"--bearing", "x", "--help"}).help); // help wins over a mistake, but not over an unknown word
}

TEST(SimulatorOptions, RefusesWhatCannotBeSentNamingTheOptionFirst)
{
    // Each with the start of its error: the option, then what is wrong with it.
    const std::vector<std::pair<std::vector<const char*>, std::string>> refused = {
        {{}, "--device or --port: missing"},
        {{"--bearing", "45"}, "--device or --port: missing"},
        {{"--device", "/dev/x", "--port", "1", "--bearing", "45"}, "--port: does not go with --device"},
        {{"--port", "1"}, "--bearing, --sweep, --file or --target: missing"},
        {{"--port", "1", "--bearing", "45", "--sweep", "0:1"}, "--sweep: does not go with --bearing"},
        {{"--port", "0", "--bearing", "45"}, "--port: wants a whole number from 1 to 255, not \"0\""},
        {{"--port", "256", "--bearing", "45"}, "--port: wants"},
        {{"--port", "1", "--bearing", "360"}, "--bearing: wants a whole number from 0 to 359, not \"360\""},
        {{"--port", "1", "--bearing", "-1"}, "--bearing: wants"},
        {{"--port", "1", "--bearing", "4.5"}, "--bearing: wants"},
        {{"--port", "1", "--bearing", ""}, "--bearing: wants"},
        {{"--port", "1", "--sweep", "10"}, "--sweep: wants START:STEP"},
        {{"--port", "1", "--sweep", "360:1"}, "--sweep: wants"},
        {{"--port", "1", "--sweep", "0:360"}, "--sweep: wants"},
        {{"--port", "1", "--bearing", "1", "--period", "-1"}, "--period: wants"},
        {{"--port", "1", "--bearing", "1", "--count", "0"}, "--count: wants"},
        {{"--port", "1", "--bearing", "1", "--noise", "100001"}, "--noise: wants"},
        {{"--port", "1", "--bearing", "1", "--seed", "4294967296"}, "--seed: wants"},
        {{"--port", "1", "--bearing", "1", "--trailer", "/7\r"}, "--trailer: cannot hold a CR"},
        {{"--port", "1", "--bearing", "1", "--loop"}, "--loop: goes with --file"},
        {{"--port", "1", "--file", "-", "--loop"}, "--loop: needs a file"},
        {{"--device", "/dev/x", "--bearing", "1", "--wait-open"}, "--wait-open: goes with --port"},
        {{"--device", "/dev/x", "--bearing", "1", "--link-folder", "/tmp"}, "--link-folder: goes with --port"},
        {{"--port", "1", "--bearing", "1", "--bearing", "2"}, "--bearing: given twice"},
        {{"--port", "1", "--bearing"}, "--bearing: needs a value"},
        {{"--port", "1", "--bearing", "1", "--lf=yes"}, "--lf: takes no value"},
        {{"--port", "1", "--bogus", "--help"}, "--bogus: unknown option"},
        {{"--port", "1", "45"}, "\"45\": not an option"},
        // Aiming at a target: the pair, nothing else that says what to report, and sound numbers.
        {{"--port", "1", "--bearing", "1", "--station", "0,0", "--target", "1,1"}, "--target: does not go with --bearing"},
        {{"--port", "1", "--station", "0,0", "--target", "1,1", "--file", "x"}, "--target: does not go with --file"},
        {{"--port", "1", "--sweep", "0:1", "--station", "0,0"}, "--station: goes with --target, not with --sweep"},
        {{"--port", "1", "--bearing", "1", "--spread", "3"}, "--spread: goes with --target"},
        {{"--port", "1", "--station", "0,0"}, "--station: goes with --target"},
        {{"--port", "1", "--target", "1,1"}, "--target: needs --station"},
        {{"--port", "1", "--station", "0,0", "--target", "1,1", "--spread", "46"}, "--spread: wants degrees from 0 to 45, not \"46\""},
        {{"--port", "1", "--station", "0,0", "--target", "1,1", "--spread", "-1"}, "--spread: wants"},
        {{"--port", "1", "--station", "0,0", "--target", "1,1", "--spread", "1e1"}, "--spread: wants"},
        {{"--port", "1", "--station", "0", "--target", "1,1"}, "--station: wants LAT,LON in decimal degrees"},
        {{"--port", "1", "--station", "91,0", "--target", "1,1"}, "--station: wants"},
        {{"--port", "1", "--station", "0,-180.5", "--target", "1,1"}, "--station: wants"},
        {{"--port", "1", "--station", "0,0", "--target", "1, 1"}, "--target: wants"},
        {{"--port", "1", "--station", "0,0", "--target", "1,1,1"}, "--target: wants"},
        {{"--port", "1", "--station", "0,0", "--target", "nan,1"}, "--target: wants"},
        {{"--port", "1", "--station", "0,0", "--target", ",1"}, "--target: wants"},
        {{"--port", "1", "--station", "90,0", "--target", "1,1"}, "--station: a pole has no bearings"},
        {{"--port", "1", "--station", "5,180", "--target", "5,-180"}, "--target: is where the station stands"},
    };
    for (const auto& [arguments, start] : refused) {
        const ParsedOptions parsed = parseOptions(std::vector<std::string>(arguments.begin(), arguments.end()));
        std::string line;
        for (const char* a : arguments)
            line += std::string(a) + ' ';
        EXPECT_EQ(parsed.error.substr(0, start.size()), start) << line << "gave: " << parsed.error;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << line;
        EXPECT_FALSE(parsed.help) << line;
    }
}
