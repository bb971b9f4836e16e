// The station's own line in the fix: it counts while drawn from the DF unit, never as a test bearing,
// and each change of what the fix documents say is told once.
#include "mappedstation.h"
#include "program/fixtracker.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using OwnLineInTheFix = MappedStation;

TEST_F(OwnLineInTheFix, CountsWhileDrawnFromTheUnitAndNeverAsATestBearing)
{
    station::FixTracker tracker(station.model(), nullptr, 3);
    QSignalSpy told(&tracker, &station::FixTracker::changed);
    EXPECT_EQ(tracker.outcome().linesConsidered, 0);
    EXPECT_TRUE(tracker.json().contains("\"features\":[]"));

    drawBearing(45);
    EXPECT_EQ(tracker.outcome().linesConsidered, 1);
    EXPECT_FALSE(tracker.outcome().fix); // one line alone locates nothing
    EXPECT_EQ(told.count(), 1);
    drawBearing(45); // the same line again: the documents say nothing new
    EXPECT_EQ(told.count(), 1);

    // Test mode: the DF line stops counting at once, and the test bearings never count.
    station.CmdButton_TEST_Click();
    EXPECT_EQ(tracker.outcome().linesConsidered, 0);
    station.Timer_TEST_Timer();
    station.Timer_TEST_Timer();
    EXPECT_EQ(tracker.outcome().linesConsidered, 0);
    station.CmdButton_TEST_Click();

    drawBearing(90);
    EXPECT_EQ(tracker.outcome().linesConsidered, 1);
    station.Timer_DF_Timer(); // silence: the line collapses onto the station
    EXPECT_EQ(tracker.outcome().linesConsidered, 0);
    EXPECT_TRUE(tracker.kml().contains("No fix"));
}
