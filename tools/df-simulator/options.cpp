#include "options.h"

#include <cmath>
#include <cstdlib>
#include <map>
#include <set>

namespace dfsim {

namespace {

const std::set<std::string> kWithValue = {"--device", "--link-folder", "--port", "--bearing", "--sweep",
                                          "--file", "--station", "--target", "--spread", "--period",
                                          "--count", "--trailer", "--noise", "--seed"};
const std::set<std::string> kFlags = {"--help", "-h", "--lf", "--loop", "--wait-open"};

// Reads "--name value" and "--name=value" into a map; the error names the first argument it cannot use.
std::string collect(const std::vector<std::string>& arguments, std::map<std::string, std::string>& given)
{
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> value;
        if (const size_t equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (kFlags.count(name)) {
            if (value)
                return name + ": takes no value";
        } else if (kWithValue.count(name)) {
            if (!value) {
                if (i + 1 >= arguments.size())
                    return name + ": needs a value";
                value = arguments[++i];
            }
        } else {
            return name.rfind('-', 0) == 0 ? name + ": unknown option"
                                           : "\"" + arguments[i] + "\": not an option (each value follows its option)";
        }
        if (given.count(name))
            return name + ": given twice";
        given[name] = value.value_or(std::string());
    }
    return {};
}

bool number(const std::map<std::string, std::string>& given, const std::string& name, long long low,
            long long high, long long& value, std::string& error)
{
    const auto it = given.find(name);
    if (it == given.end())
        return true;
    if (!parseInteger(it->second, low, high, value)) {
        error = name + ": wants a whole number from " + std::to_string(low) + " to " + std::to_string(high)
                + ", not \"" + it->second + "\"";
        return false;
    }
    return true;
}

// A plain decimal number: optional "-", digits, optional "." and digits; no blanks, no exponent.
bool parseDecimal(std::string_view text, double low, double high, double& value)
{
    size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
    size_t digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9')
            ++digits;
        else if (text[i] == '.' && !point)
            point = true;
        else
            return false;
    }
    if (digits == 0)
        return false;
    value = std::strtod(std::string(text).c_str(), nullptr);
    return std::isfinite(value) && value >= low && value <= high;
}

// "LAT,LON" in decimal degrees.
bool position(const std::map<std::string, std::string>& given, const std::string& name, GeoPoint& point,
              std::string& error)
{
    const std::string& text = given.at(name);
    const size_t comma = text.find(',');
    if (comma == std::string::npos || !parseDecimal(std::string_view(text).substr(0, comma), -90, 90, point.latitude)
        || !parseDecimal(std::string_view(text).substr(comma + 1), -180, 180, point.longitude)) {
        error = name + ": wants LAT,LON in decimal degrees, LAT from -90 to 90 and LON from -180 to 180, not \"" + text
                + "\"";
        return false;
    }
    return true;
}

std::string aimed(const std::map<std::string, std::string>& given, Options& o)
{
    std::string error;
    if (!given.count("--station"))
        return "--target: needs --station LAT,LON as well (where the DF unit stands)";
    if (!position(given, "--station", o.station, error) || !position(given, "--target", o.aim, error))
        return error;
    if (std::fabs(o.station.latitude) == 90)
        return "--station: a pole has no bearings; give a latitude between -90 and 90";
    if (o.station.latitude == o.aim.latitude && std::remainder(o.station.longitude - o.aim.longitude, 360.0) == 0)
        return "--target: is where the station stands; no bearing points there";
    if (const auto it = given.find("--spread"); it != given.end() && !parseDecimal(it->second, 0, 45, o.spread))
        return "--spread: wants degrees from 0 to 45, not \"" + it->second + "\"";
    return {};
}

std::string check(const std::map<std::string, std::string>& given, Options& o)
{
    std::string error;
    long long value = 0;
    const auto has = [&given](const char* name) { return given.count(name) > 0; };

    // Where the bytes go.
    if (has("--device") == has("--port"))
        return has("--device") ? "--port: does not go with --device (give one of them)"
                               : "--device or --port: missing; say where to send: --device PATH, or --port N for a "
                                 "pseudo-terminal linked as COMN";
    if (has("--device")) {
        for (const char* portOnly : {"--link-folder", "--wait-open"}) {
            if (has(portOnly))
                return std::string(portOnly) + ": goes with --port, not with --device";
        }
        o.target = Options::Target::Device;
        o.device = given.at("--device");
        if (o.device.empty())
            return "--device: needs a path";
    } else {
        o.target = Options::Target::Link;
        if (!number(given, "--port", 1, 255, value, error))
            return error;
        o.port = static_cast<int>(value);
        o.linkFolder = has("--link-folder") ? given.at("--link-folder") : std::string();
        if (has("--link-folder") && o.linkFolder.empty())
            return "--link-folder: needs a folder";
        o.waitOpen = has("--wait-open");
    }

    // What is reported.
    std::vector<std::string> sources;
    for (const char* source : {"--bearing", "--sweep", "--file", "--target"}) {
        if (has(source))
            sources.push_back(source);
    }
    if (sources.empty() && has("--station"))
        return "--station: goes with --target (and then no --bearing, --sweep or --file)";
    if (sources.empty())
        return "--bearing, --sweep, --file or --target: missing; say what to report: --bearing N, --sweep "
               "START:STEP, --file F or --station LAT,LON --target LAT,LON";
    if (sources.size() > 1)
        return sources[1] + ": does not go with " + sources[0] + " (give one of --bearing, --sweep, --file and --target)";
    if (has("--loop") && !has("--file"))
        return "--loop: goes with --file";
    for (const char* aimOnly : {"--station", "--spread"}) {
        if (has(aimOnly) && !has("--target"))
            return std::string(aimOnly) + ": goes with --target, not with " + sources[0];
    }
    if (has("--bearing")) {
        o.source = Options::Source::Fixed;
        if (!number(given, "--bearing", 0, 359, value, error))
            return error;
        o.bearing = static_cast<int>(value);
    } else if (has("--sweep")) {
        o.source = Options::Source::Sweep;
        const std::string& text = given.at("--sweep");
        const size_t colon = text.find(':');
        long long start = 0;
        long long step = 0;
        if (colon == std::string::npos || !parseInteger(text.substr(0, colon), 0, 359, start)
            || !parseInteger(text.substr(colon + 1), -359, 359, step))
            return "--sweep: wants START:STEP, START from 0 to 359 and STEP from -359 to 359, not \"" + text + "\"";
        o.bearing = static_cast<int>(start);
        o.sweepStep = static_cast<int>(step);
    } else if (has("--target")) {
        o.source = Options::Source::Aimed;
        if (const std::string problem = aimed(given, o); !problem.empty())
            return problem;
    } else {
        o.source = Options::Source::List;
        o.file = given.at("--file");
        if (o.file.empty())
            return "--file: needs a file name, or - for standard input";
        o.loop = has("--loop");
        if (o.loop && o.file == "-")
            return "--loop: needs a file, as standard input cannot be read twice";
    }

    // How and how often.
    value = o.periodMs;
    if (!number(given, "--period", 0, 3'600'000, value, error))
        return error;
    o.periodMs = static_cast<int>(value);
    if (has("--count")) {
        if (!number(given, "--count", 1, 1'000'000'000'000LL, value, error))
            return error;
        o.count = value;
    }
    if (has("--trailer")) {
        o.format.trailer = given.at("--trailer");
        if (!validTrailer(o.format.trailer))
            return "--trailer: cannot hold a CR, which would end the sentence early";
    }
    o.format.lineFeed = has("--lf");
    value = 0;
    if (!number(given, "--noise", 0, 100'000, value, error))
        return error;
    o.noiseBytes = static_cast<int>(value);
    if (has("--seed")) {
        if (!number(given, "--seed", 0, 4'294'967'295LL, value, error))
            return error;
        o.seed = static_cast<std::uint32_t>(value);
    }
    return {};
}

} // namespace

ParsedOptions parseOptions(const std::vector<std::string>& arguments)
{
    ParsedOptions parsed;
    std::map<std::string, std::string> given;
    parsed.error = collect(arguments, given);
    if (!parsed.error.empty())
        return parsed;
    if (given.count("--help") || given.count("-h")) {
        parsed.help = true;
        return parsed;
    }
    parsed.error = check(given, parsed.options);
    return parsed;
}

} // namespace dfsim
