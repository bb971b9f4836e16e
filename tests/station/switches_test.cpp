// The station's operator switches, on a real station window.
#include "options/optionswindow.h"
#include "platform/captionwidgets.h"
#include "platform/messagebox.h"
#include "station/stationwindow.h"

#include "support/messagerecorder.h"
#include "support/pty.h"
#include "support/settingsfolder.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <gtest/gtest.h>

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
        station.state().DF_VALID = platform::kTrue;
    }
    bool lineCollapsed()
    {
        const StationState& s = station.state();
        return s.END_LATITUDE == s.START_LATITUDE && s.END_LONGITUDE == s.START_LONGITUDE;
    }
    // DF input off: port and watchdog stopped, bearing withdrawn, line on the station.
    void expectDfInputOff()
    {
        EXPECT_EQ(button("CmdButton_ACQUIRE").tag(), QStringLiteral("OFF"));
        EXPECT_EQ(button("CmdButton_ACQUIRE").text(), QStringLiteral(" DF INPUT OFF ( ON )"));
        EXPECT_EQ(label("Label_DF_STATUS").text(), QStringLiteral("DF INPUT = OFF"));
        EXPECT_FALSE(station.serialPort().portOpen());
        EXPECT_FALSE(station.timerDf().isEnabled());
        EXPECT_EQ(station.state().DF_VALID, platform::kFalse);
        EXPECT_TRUE(lineCollapsed());
    }
    platform::TagButton& button(const char* name) { return *station.findChild<platform::TagButton*>(QLatin1String(name)); }
    QLabel& label(const char* name) { return *station.findChild<QLabel*>(QLatin1String(name)); }

    testsupport::SettingsFolder folder;
    testsupport::Pty pty;
    Form_STATION station;
};

} // namespace

TEST_F(Switches, DfInputOffWhileABearingIsShown)
{
    ASSERT_TRUE(station.serialPort().setPortOpen(true));
    station.timerDf().setEnabled(true);
    button("CmdButton_ACQUIRE").click();
    expectDfInputOff();
}

TEST_F(Switches, DfInputOnOpensThePortAndKeepsTheEndPoint)
{
    button("CmdButton_ACQUIRE").click(); // off
    showBearing();
    station.state().DF_ARRIVING = platform::kTrue;
    station.state().DF_BUFFER = QStringLiteral("%12");
    testsupport::MessageRecorder recorder;

    button("CmdButton_ACQUIRE").click();
    EXPECT_EQ(button("CmdButton_ACQUIRE").tag(), QStringLiteral("ON"));
    EXPECT_EQ(button("CmdButton_ACQUIRE").text(), QStringLiteral("  DF INPUT  ON ( OFF )"));
    EXPECT_EQ(label("Label_DF_STATUS").text(), QStringLiteral("DF = SILENT"));
    EXPECT_TRUE(station.timerDf().isEnabled());
    EXPECT_TRUE(station.serialPort().portOpen());
    EXPECT_EQ(station.state().DF_ARRIVING, platform::kFalse);
    EXPECT_TRUE(station.state().DF_BUFFER.isEmpty());
    EXPECT_EQ(station.state().END_LATITUDE, QStringLiteral("+34.77000"));
    EXPECT_EQ(recorder.count(), 0);
}

TEST_F(Switches, DfInputOnWithAMissingPortWarnsOnceAndFallsBackToOff)
{
    button("CmdButton_ACQUIRE").click(); // off
    ASSERT_TRUE(station.serialPort().setCommPort(2));
    showBearing();
    testsupport::MessageRecorder recorder;
    QString tagWhileShown;
    const auto watch = QObject::connect(&platform::MessageBoxes::instance(), &platform::MessageBoxes::shown,
                                        [&] { tagWhileShown = button("CmdButton_ACQUIRE").tag(); });

    button("CmdButton_ACQUIRE").click();
    QObject::disconnect(watch);
    ASSERT_EQ(recorder.count(), 1);
    EXPECT_EQ(recorder.messages()[0].title, QStringLiteral("Invalid COM port selected"));
    EXPECT_EQ(recorder.messages()[0].text,
              QStringLiteral("WARNING ! Chosen COM port is not available\r\rSelect a different COM port on OPTIONS screen"));
    EXPECT_EQ(tagWhileShown, QStringLiteral("ON"));
    expectDfInputOff();
}

TEST_F(Switches, TestModeHidesTheDfStatusAndCollapsesTheLineWhenItEnds)
{
    platform::TagButton& test = button("CmdButton_TEST");
    test.click();
    EXPECT_EQ(test.tag(), QStringLiteral("ON"));
    EXPECT_EQ(test.text(), QStringLiteral("     TEST        ON ( OFF )"));
    EXPECT_EQ(label("Label_TEST_STATUS").text(), QStringLiteral("TEST : ON"));
    EXPECT_TRUE(label("Label_DF_STATUS").isHidden());
    EXPECT_TRUE(station.timerTest().isEnabled());

    // The DF input switch keeps working meanwhile; its caption waits on the hidden label.
    button("CmdButton_ACQUIRE").click();
    showBearing();
    station.timerDf().setEnabled(true);
    label("Label_REPORTED_BEARING").setText(QStringLiteral("REPORTED BEARING :  45"));

    test.click();
    EXPECT_EQ(test.tag(), QStringLiteral("OFF"));
    EXPECT_EQ(test.text(), QStringLiteral("   TEST      OFF ( ON )"));
    EXPECT_TRUE(label("Label_TEST_STATUS").text().isEmpty());
    EXPECT_FALSE(label("Label_DF_STATUS").isHidden());
    EXPECT_EQ(label("Label_DF_STATUS").text(), QStringLiteral("DF INPUT = OFF"));
    EXPECT_FALSE(station.timerTest().isEnabled());
    EXPECT_EQ(label("Label_REPORTED_BEARING").text(), QStringLiteral("REPORTED BEARING : NONE"));
    EXPECT_TRUE(lineCollapsed());
    // The watchdog withdraws the bearing on its own.
    EXPECT_TRUE(station.timerDf().isEnabled());
    EXPECT_EQ(station.state().DF_VALID, platform::kTrue);
}

TEST_F(Switches, OptionsTwiceLeavesOneVisibleWindow)
{
    button("CmdButton_OPTIONS").click();
    button("CmdButton_OPTIONS").click();
    int visible = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        visible += w->objectName() == QStringLiteral("Form_OPTIONS") && w->isVisible();
    EXPECT_EQ(visible, 1);
}
