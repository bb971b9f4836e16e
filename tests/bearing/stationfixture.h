#pragma once
// A station window with a pseudo-terminal as its DF unit on COM1, its position set and its serial
// line open, as the start-up leaves it.

#include "station/stationwindow.h"
#include "support/pty.h"
#include "support/settingsfolder.h"
#include "support/waitfor.h"

#include <QLabel>
#include <QStringList>
#include <gtest/gtest.h>

namespace platform {
class TagButton;
}

class StationOnPty : public ::testing::Test
{
protected:
    void SetUp() override;

    StationState& state() { return station.state(); }
    QString reportedBearing() const;
    QString dfStatus() const;
    platform::TagButton& button(const char* name) const;

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
    Form_STATION station;
};

template <typename Condition>
bool StationOnPty::send(const QByteArray& bytes, Condition done)
{
    return pty.write(bytes) && testsupport::waitFor(done, 3000);
}
