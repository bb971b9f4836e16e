#pragma once
// The live map of a station run with --web-map: checked against the website port before the run says
// anything, and bound before the station starts, so that a wrong or taken port ends the run before
// anything else happens (status 2 or 3, settings file untouched); then served for the whole run.

#include <QString>

#include <memory>

class StationCore;

namespace web {
class LiveMap;
}

namespace station {

struct CommandLine;
class StationModel;

// A --web-map port that is the settings file's website port, as a usage error's text
// ("--web-map: 10000 is the website port ..."); empty when the ports differ or no map was asked for.
// Needs the settings folder chosen; reads the settings file only if it is a regular file.
QString webMapPortClash(const CommandLine& commandLine);

class WebMap
{
public:
    WebMap();
    ~WebMap();
    WebMap(const WebMap&) = delete;
    WebMap& operator=(const WebMap&) = delete;

    // Needs an application object and the settings folder chosen, and the port checked with
    // webMapPortClash(). 0 when the map is served (or was not asked for); otherwise the status to exit
    // with, said on standard error.
    int start(StationCore& station, const CommandLine& commandLine);

    // The run is ending: the map takes no more connections (those open end with the run).
    void stopAccepting();

private:
    void followTheFix(const StationModel& model, const CommandLine& commandLine);

    std::unique_ptr<web::LiveMap> m_map;
};

} // namespace station
