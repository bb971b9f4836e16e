#pragma once
// The simulator's command line.

#include "aim.h"
#include "sentences.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dfsim {

struct Options
{
    enum class Target { Device, Link };
    enum class Source { Fixed, Sweep, List, Aimed };

    Target target = Target::Device;
    std::string device;     // Target::Device
    std::string linkFolder; // Target::Link; empty: the station's own settings folder
    int port = 0;           // Target::Link: the link is named COM<port>
    bool waitOpen = false;  // Target::Link: send nothing until someone opens the pseudo-terminal

    Source source = Source::Fixed;
    int bearing = 0;    // Source::Fixed, and the start of Source::Sweep
    int sweepStep = 0;  // Source::Sweep
    std::string file;   // Source::List; "-" is standard input
    bool loop = false;  // Source::List
    GeoPoint station;   // Source::Aimed: where the DF unit stands
    GeoPoint aim;       // Source::Aimed: where the transmitter is
    double spread = 0;  // Source::Aimed: the readings' standard deviation in degrees

    int periodMs = 1000;
    std::optional<long long> count;
    SentenceFormat format;
    int noiseBytes = 0;
    std::optional<std::uint32_t> seed;
};

struct ParsedOptions
{
    Options options;
    bool help = false;
    std::string error; // empty when the command line was sound
};

ParsedOptions parseOptions(const std::vector<std::string>& arguments);

std::string helpText(const std::string& programName);

} // namespace dfsim
