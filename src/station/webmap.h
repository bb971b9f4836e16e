#pragma once
// The live map of a station run with --web-map: checked against the website port and bound before the
// station starts, so that a wrong or taken port ends the run before anything else happens (status 2 or
// 3, settings file untouched); then served for the whole run.

#include <memory>

class StationCore;

namespace web {
class LiveMap;
}

namespace station {

struct CommandLine;
class LastBearing;

class WebMap
{
public:
    WebMap();
    ~WebMap();
    WebMap(const WebMap&) = delete;
    WebMap& operator=(const WebMap&) = delete;

    // Needs an application object and the settings folder chosen. 0 when the map is served (or was not
    // asked for); otherwise the status to exit with, said on standard error.
    int start(StationCore& station, const CommandLine& commandLine);

    // The run is ending: the map takes no more connections (those open end with the run).
    void stopAccepting();

private:
    std::unique_ptr<LastBearing> m_last;
    std::unique_ptr<web::LiveMap> m_map;
};

} // namespace station
