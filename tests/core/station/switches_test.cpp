// The station's operator switches.
#include "platform/messages.h"
#include "core/station/stationcore.h"
#include "support/messagerecorder.h"
#include "support/pty.h"
#include "support/settingsfolder.h"

#include <QFile>
#include <gtest/gtest.h>

using station::DfStatus;

namespace {

class Switches : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.linkAs(folder.folder(), 1));
        ASSERT_TRUE(QFile::link(folder.folder() + QStringLiteral("/nowhere"), folder.folder() + QStringLiteral("/COM2")));
        StationState& s = station.state();
        s.START_LATITUDE = QStringLiteral("+34.41850");
        s.START_LONGITUDE = QStringLiteral("-119.74167");
        showBearing();
    }
    void showBearing()
    {
        station.state().END_LATITUDE = QStringLiteral("+34.77000");
        station.state().END_LONGITUDE = QStringLiteral("-119.50000");
        station.state().DF_VALID = true;
    }
    bool lineCollapsed()
    {
        const StationState& s = station.state();
        return s.END_LATITUDE == s.START_LATITUDE && s.END_LONGITUDE == s.START_LONGITUDE;
    }
    // DF input off: port and watchdog stopped, bearing withdrawn, line on the station.
    void expectDfInputOff()
    {
        EXPECT_FALSE(station.model().dfInput());
        EXPECT_EQ(model().dfStatus(), DfStatus::InputOff);
        EXPECT_FALSE(station.serialPort().portOpen());
        EXPECT_FALSE(station.timerDf().isEnabled());
        EXPECT_FALSE(station.state().DF_VALID);
        EXPECT_TRUE(lineCollapsed());
    }
    station::StationModel& model() { return station.model(); }

    testsupport::SettingsFolder folder;
    testsupport::Pty pty;
    platform::Messages messages;
    StationCore station{messages};
};

} // namespace

TEST_F(Switches, DfInputOffWhileABearingIsShown)
{
    ASSERT_TRUE(station.serialPort().setPortOpen(true));
    station.timerDf().setEnabled(true);
    station.CmdButton_ACQUIRE_Click();
    expectDfInputOff();
}

TEST_F(Switches, DfInputOnOpensThePortAndKeepsTheEndPoint)
{
    station.CmdButton_ACQUIRE_Click(); // off
    showBearing();
    station.state().DF_ARRIVING = true;
    station.state().DF_BUFFER = QStringLiteral("%12");
    testsupport::MessageRecorder recorder(messages);

    station.CmdButton_ACQUIRE_Click();
    EXPECT_TRUE(station.model().dfInput());
    EXPECT_EQ(model().dfStatus(), DfStatus::Silent);
    EXPECT_TRUE(station.timerDf().isEnabled());
    EXPECT_TRUE(station.serialPort().portOpen());
    EXPECT_FALSE(station.state().DF_ARRIVING);
    EXPECT_TRUE(station.state().DF_BUFFER.isEmpty());
    EXPECT_EQ(station.state().END_LATITUDE, QStringLiteral("+34.77000"));
    EXPECT_EQ(recorder.count(), 0);
}

TEST_F(Switches, DfInputOnWithAMissingPortWarnsOnceAndFallsBackToOff)
{
    station.CmdButton_ACQUIRE_Click(); // off
    ASSERT_TRUE(station.serialPort().setCommPort(2));
    showBearing();
    testsupport::MessageRecorder recorder(messages);
    bool onWhileShown = false;
    QObject::connect(&messages, &platform::Messages::shown, [&] { onWhileShown = station.model().dfInput(); });

    station.CmdButton_ACQUIRE_Click();
    ASSERT_EQ(recorder.count(), 1);
    EXPECT_EQ(recorder.messages()[0].title, QStringLiteral("Invalid COM port selected"));
    EXPECT_EQ(recorder.messages()[0].text,
              QStringLiteral("WARNING ! Chosen COM port is not available\r\rSelect a different COM port on OPTIONS screen"));
    EXPECT_TRUE(onWhileShown);
    expectDfInputOff();
}

TEST_F(Switches, TestModeKeepsTheDfStatusAndCollapsesTheLineWhenItEnds)
{
    station.CmdButton_TEST_Click();
    EXPECT_TRUE(station.model().testMode());
    EXPECT_EQ(model().dfState(), station::DfState::Test);
    EXPECT_TRUE(station.timerTest().isEnabled());

    // The DF input switch keeps working meanwhile; the DF status it sets waits behind test mode.
    station.CmdButton_ACQUIRE_Click();
    showBearing();
    station.timerDf().setEnabled(true);
    model().setReportedBearing(station::ReportedBearing{station::DrawnBearing::Source::Df, 45});
    EXPECT_EQ(model().dfState(), station::DfState::Test);

    station.CmdButton_TEST_Click();
    EXPECT_FALSE(station.model().testMode());
    EXPECT_EQ(model().dfStatus(), DfStatus::InputOff);
    EXPECT_EQ(model().dfState(), station::DfState::Off);
    EXPECT_FALSE(station.timerTest().isEnabled());
    EXPECT_EQ(model().reportedBearing(), std::nullopt);
    EXPECT_TRUE(lineCollapsed());
    // The watchdog withdraws the bearing on its own.
    EXPECT_TRUE(station.timerDf().isEnabled());
    EXPECT_TRUE(station.state().DF_VALID);
}

TEST_F(Switches, OptionsOpensTheOptionsAtEveryPressUntilExit)
{
    int opened = 0;
    QObject::connect(&model(), &station::StationModel::optionsOpened, [&] { ++opened; });
    station.CmdButton_OPTIONS_Click();
    station.CmdButton_OPTIONS_Click();
    EXPECT_TRUE(model().optionsOpen());
    EXPECT_EQ(opened, 2); // open already: brought to the front again
    station.options().CmdButton_EXIT_Click();
    EXPECT_FALSE(model().optionsOpen());
}
