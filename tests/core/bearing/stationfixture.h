#pragma once
// A station with a pseudo-terminal as its DF unit on COM1, its position set and its serial line open,
// as the start-up leaves it.

#include "platform/messages.h"
#include "core/station/stationcore.h"
#include "support/pty.h"
#include "support/settingsfolder.h"

#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>

class StationOnPty : public ::testing::Test
{
protected:
    void SetUp() override;

    StationState& state() { return station.state(); }
    station::Controls& controls() { return station.controls(); }
    QString reportedBearing() const { return station.controls().caption(station::ControlId::Label_REPORTED_BEARING); }
    QString dfStatus() const { return station.controls().caption(station::ControlId::Label_DF_STATUS); }

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
