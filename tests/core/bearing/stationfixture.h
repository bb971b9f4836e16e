#pragma once
// A station with a pseudo-terminal as its DF unit on COM1, its position set and its serial line open,
// as the start-up leaves it.

#include "platform/messages.h"
#include "core/station/stationcore.h"
#include "core/station/texts.h"
#include "support/pty.h"
#include "support/settingsfolder.h"

#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>

namespace station {
inline void PrintTo(const ReportedBearing& b, std::ostream* out)
{
    *out << (b.source == DrawnBearing::Source::Test ? "test " : "DF ") << b.degrees;
}
} // namespace station

class StationOnPty : public ::testing::Test
{
protected:
    void SetUp() override;

    StationState& state() { return station.state(); }
    station::StationModel& model() { return station.model(); }
    std::optional<station::ReportedBearing> reportedBearing() const { return station.model().reportedBearing(); }
    static station::ReportedBearing fromDf(int degrees) { return {station::DrawnBearing::Source::Df, degrees}; }
    static station::ReportedBearing fromTest(int degrees) { return {station::DrawnBearing::Source::Test, degrees}; }
    // What the station reports of the DF unit, in the words its window and log use.
    QString dfStatus() const { return station::dfStatusText(station.model().dfStatus()); }

    // Writes to the DF unit's end and lets the station read until `done` holds.
    template <typename Condition>
    bool send(const QByteArray& bytes, Condition done);

    // Writes and waits until the station has framed a complete sentence (its status says so).
    bool sendSentence(const QByteArray& bytes);

    // The end point the station should show for bearing `degrees`.
    QStringList lineTo(qint16 degrees);
    QStringList endPoint() { return {state().END_LATITUDE, state().END_LONGITUDE}; }
    QStringList stationPoint() { return {state().START_LATITUDE, state().START_LONGITUDE}; }

    testsupport::SettingsFolder settings;
    testsupport::Pty pty;
    platform::Messages messages;
    StationCore station{messages};
};

template <typename Condition>
bool StationOnPty::send(const QByteArray& bytes, Condition done)
{
    return pty.write(bytes) && QTest::qWaitFor(done, 3000);
}
