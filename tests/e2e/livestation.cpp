#include "livestation.h"

#include "core/geo/endpoint.h"
#include "support/loopback.h"

#include <QFileInfo>
#include <QTest>

namespace e2e {

namespace {

QStringList characters(const QString& digits)
{
    QStringList out;
    for (QChar c : digits)
        out << QString(c);
    return out;
}

QStringList digitTags(const StationSettings& s)
{
    return characters(QStringLiteral("%1").arg(s.websitePort, 5, 10, QLatin1Char('0')) + s.calibration + s.latitude
                      + s.longitude);
}

QString numberForm(int value)
{
    return QStringLiteral(" %1 ").arg(value);
}

} // namespace

QStringList StationSettings::fileLines() const
{
    QStringList lines{numberForm(commPort)};
    const QStringList tags = digitTags(*this);
    for (int i = 0; i < tags.size(); ++i)
        lines << (i < 8 ? numberForm(tags[i].toInt()) : tags[i]);
    return lines << latitudeHemisphere << longitudeHemisphere;
}

QStringList StationSettings::shutdownLines() const
{
    return QStringList{numberForm(commPort)} + digitTags(*this) + QStringList{latitudeHemisphere, longitudeHemisphere};
}

options::PositionTexts StationSettings::position() const
{
    return options::positionTexts(characters(latitude), latitudeHemisphere, characters(longitude),
                                  longitudeHemisphere);
}

ExpectedMap expectedMap(const options::PositionTexts& station, std::optional<qint16> bearing)
{
    const geo::EndPoint end =
        geo::bearingLineEnd(station.latitude, station.longitude, bearing.value_or(0), bearing.has_value());
    const QString start = testsupport::kmlTuple(station.latitude, station.longitude);
    return {start, start + u' ' + testsupport::kmlTuple(end.latitude, end.longitude)};
}

void LiveStation::SetUp()
{
    settings.websitePort = testsupport::freePort();
    ASSERT_NE(settings.websitePort, 0);
}

void LiveStation::startSimulator(const QStringList& arguments)
{
    if (simulator && simulator->isRunning()) {
        ASSERT_EQ(simulator->stop(), 0); // its link goes with it
    }
    simulator = std::make_unique<testsupport::SimulatorProcess>(QStringLiteral(TARNVALE_DF_SIMULATOR), folder.folder(),
                                                              settings.commPort, arguments);
    ASSERT_TRUE(simulator->linked()) << simulator->errors().toStdString();
}

void LiveStation::startStation(const QStringList& arguments)
{
    station = std::make_unique<testsupport::StationProcess>(QStringLiteral(TARNVALE_EXECUTABLE),
                                                            QFileInfo(folder.folder()).path(),
                                                            QStringList{QStringLiteral("--headless")} + arguments);
    ASSERT_TRUE(testsupport::waitUntilServing(settings.websitePort)) << "no map on port " << settings.websitePort;
}

bool LiveStation::mapShows(const ExpectedMap& expected, int timeoutMs, const std::function<void()>& between)
{
    return QTest::qWaitFor([&] {
        if (between)
            between();
        lastMap = testsupport::fetchMap(settings.websitePort);
        if (lastMap.ok && lastMap.point == expected.point && lastMap.line == expected.line)
            return true;
        QTest::qWait(20);
        return false;
    }, timeoutMs);
}

} // namespace e2e
