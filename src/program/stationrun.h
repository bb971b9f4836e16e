#pragma once
// One run of the station, windowed or headless: the command line's settings folder, the shutdown
// signals, the start-up, then the event loop until the station has closed.

#include <functional>

class StationCore;

namespace station {

struct CommandLine;

// `show` shows the windows once the start-up is done (nothing for a headless station). Needs an
// application object; returns the status the program exits with.
int runStation(StationCore& station, const CommandLine& commandLine, const std::function<void()>& show = {});

// The whole headless run: the core under a QCoreApplication, its messages on standard error only.
int runHeadless(int argc, char** argv, const CommandLine& commandLine);

} // namespace station
