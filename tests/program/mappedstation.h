#pragma once
// A station at a fixed position in London with a pseudo-terminal as its DF unit on COM1 and its line
// open, its model told of the line and the website port as the start-up tells it: what the live map
// shows of a station, from the same process.

#include "platform/messages.h"
#include "core/station/stationcore.h"
#include "support/pty.h"
#include "support/settingsfolder.h"

#include <QTest>
#include <QTime>
#include <gtest/gtest.h>

class MappedStation : public ::testing::Test
{
protected:
    void SetUp() override
    {
        StationState& s = station.state();
        s.START_LATITUDE = QStringLiteral("+51.50000");
        s.START_LONGITUDE = QStringLiteral("-000.12000");
        s.collapseLine();
        s.WEBSITE_PORT = 10000;
        station.model().setLine(s.line());
        station.model().setWebsite(s.WEBSITE_PORT, false);
        station.setClock([] { return QTime(12, 0, 7); }); // test bearing 42
        ASSERT_TRUE(pty.linkAs(folder.folder(), 1));
        ASSERT_TRUE(station.serialPort().setPortOpen(true));
    }
    // A bearing from the DF unit, as the reception draws it (calibration 0).
    void drawBearing(qint16 degrees)
    {
        ASSERT_TRUE(pty.write(QByteArrayLiteral("%") + QByteArray::number(degrees).rightJustified(3, '0') + '\r'));
        ASSERT_TRUE(QTest::qWaitFor([&] { return station.state().DF_VALID && station.state().BEARING_DEGREES == degrees; }, 3000));
    }

    testsupport::SettingsFolder folder;
    testsupport::Pty pty;
    platform::Messages messages;
    StationCore station{messages};
};
