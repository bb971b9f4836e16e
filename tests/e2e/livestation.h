#pragma once
// A live station for end-to-end tests: the real program as a headless service, in a temporary configuration folder
// with a settings file the test writes (website port on a free loopback port), fed by the real DF unit
// simulator on its COM port, and read over HTTP.

#include "core/options/settingvalues.h"
#include "support/mapdocument.h"
#include "support/settingsfolder.h"
#include "support/simulatorprocess.h"
#include "support/stationprocess.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

namespace e2e {

// What the test stores in the station's settings file.
struct StationSettings
{
    int commPort = 1;
    quint16 websitePort = 0;
    QString calibration = QStringLiteral("000");     // hundreds, tens, units
    QString latitude = QStringLiteral("3425111");    // degrees (2), minutes to thousandths (5)
    QString latitudeHemisphere = QStringLiteral("N");
    QString longitude = QStringLiteral("11944500");  // degrees (3), minutes to thousandths (5)
    QString longitudeHemisphere = QStringLiteral("W");

    // The 26 lines with lines 1 to 9 in number form, as the default file has them.
    QStringList fileLines() const;
    // The 26 lines the station writes at shutdown: line 1 in number form, lines 2 to 26 as bare texts.
    QStringList shutdownLines() const;
    // The station position, derived from the digits by the station's own rules.
    options::PositionTexts position() const;
};

// The two <coordinates> texts of the map: the station point, and the line to the end of `bearing`
// (collapsed onto the station without one).
struct ExpectedMap
{
    QString point;
    QString line;
};
ExpectedMap expectedMap(const options::PositionTexts& station, std::optional<qint16> bearing);

class LiveStation : public ::testing::Test
{
protected:
    void SetUp() override;

    // Writes the settings file.
    void writeSettings() const { folder.writeLines(settings.fileLines()); }
    // Starts the simulator linked as the settings' COM port (the station opens it at start-up).
    void startSimulator(const QStringList& arguments);
    // Starts the station (with `arguments` besides --headless) and waits until it serves its map.
    void startStation(const QStringList& arguments = {});
    // Fetches the map until it shows `expected` (true) or the time is up; `between` runs before each fetch.
    bool mapShows(const ExpectedMap& expected, int timeoutMs = 5000, const std::function<void()>& between = {});

    testsupport::SettingsFolder folder;
    StationSettings settings;
    std::unique_ptr<testsupport::SimulatorProcess> simulator;
    std::unique_ptr<testsupport::StationProcess> station; // ends before the simulator it reads
    testsupport::MapDocument lastMap;                       // the latest fetched by mapShows
};

} // namespace e2e
