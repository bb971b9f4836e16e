// tarnvale-df-simulator: stands in for a DF unit, so a station can be checked without one.
#include "aim.h"
#include "bearingsequence.h"
#include "noisegenerator.h"
#include "options.h"
#include "serialline.h"
#include "stopsignals.h"
#include "transmitter.h"

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <random>
#include <sys/stat.h>

using namespace dfsim;

namespace {

// The station's own folder, found the way the station finds it.
std::string stationSettingsFolder()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return std::string(config) + "/Tarnvale";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config/Tarnvale";
}

bool makeFolders(const std::string& path)
{
    for (size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

std::unique_ptr<SerialLine> openLine(const Options& options, std::string& error)
{
    if (options.target == Options::Target::Device)
        return SerialLine::openDevice(options.device, error);
    std::string folder = options.linkFolder;
    if (folder.empty()) {
        folder = stationSettingsFolder();
        if (!makeFolders(folder)) {
            error = "cannot create the folder " + folder;
            return nullptr;
        }
    }
    auto line = SerialLine::openPseudoTerminal(error);
    const std::string link = folder + "/COM" + std::to_string(options.port);
    if (!line || !line->linkAs(link, error))
        return nullptr;
    std::cout << "Pseudo-terminal: " << line->slavePath() << "\nLinked as: " << link << std::endl;
    return line;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string program = "tarnvale-df-simulator";
    const ParsedOptions parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.help) {
        std::cout << helpText(program);
        return 0;
    }
    if (!parsed.error.empty()) {
        std::cerr << program << ": " << parsed.error << "\nTry '" << program << " --help'.\n";
        return 2;
    }
    const Options& options = parsed.options;
    installStopSignals();

    NoiseGenerator noise(options.seed ? *options.seed : std::random_device()());
    std::ifstream file;
    auto warn = [&program](const std::string& text) { std::cerr << program << ": " << text << std::endl; };
    BearingSequence bearings = BearingSequence::fixed(options.bearing);
    if (options.source == Options::Source::Sweep) {
        bearings = BearingSequence::sweep(options.bearing, options.sweepStep);
    } else if (options.source == Options::Source::Aimed) {
        const int bearing = nearestBearing(options.station, options.aim);
        char aim[120];
        std::snprintf(aim, sizeof aim, "Aiming at the target: bearing %03d, whose line passes %.0f m from it",
                      bearing, missDistance(options.station, options.aim, bearing));
        std::cout << aim << std::endl;
        bearings = BearingSequence::scattered(bearing, options.spread, noise);
    } else if (options.source == Options::Source::List) {
        if (options.file != "-") {
            file.open(options.file);
            if (!file) {
                warn("cannot read " + options.file);
                return 1;
            }
        }
        bearings = BearingSequence::list(options.file == "-" ? std::cin : file, warn, options.loop);
    }

    std::string error;
    const std::unique_ptr<SerialLine> line = openLine(options, error);
    if (!line) {
        warn(error);
        return 1;
    }
    if (options.waitOpen) {
        std::cout << "Waiting for the station to open it" << std::endl;
        if (!line->waitForReader())
            return 0;
    }

    const SendPlan plan{options.format, std::chrono::milliseconds(options.periodMs), options.count,
                        options.noiseBytes};
    const SendOutcome outcome = transmit(plan, bearings, noise, *line);
    if (outcome.failed) {
        warn(line->errorText());
        return 1;
    }
    return 0;
}
