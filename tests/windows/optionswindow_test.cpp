// The options window as a view of the station: its controls where they belong, showing the station's
// digits, and every press reaching the station.
#include "windows/optionswindow.h"
#include "windows/captionwidgets.h"
#include "windows/windowedstation.h"
#include "support/windowcontrols.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <gtest/gtest.h>

using options::kDigitFields;

namespace {

class OptionsWindow : public ::testing::Test
{
protected:
    template <typename T = QWidget>
    T& control(const char* name) const { return testsupport::childNamed<T>(window, name); }
    platform::TagLabel& field(const char* name) const { return control<platform::TagLabel>(name); }

    station::WindowedStation windowed;
    Form_OPTIONS& window = windowed.optionsWindow;
};

} // namespace

TEST_F(OptionsWindow, DesignState)
{
    EXPECT_EQ(window.size(), QSize(564, 247));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Tarnvale Options"));
    EXPECT_TRUE(window.isHidden());
    EXPECT_EQ(control<QGroupBox>("frame_COMM").title(), QStringLiteral("DF COM PORT"));
    for (size_t i = 0; i < kDigitFields.size(); ++i) {
        const options::DigitField& row = kDigitFields[i];
        const platform::TagLabel& f = field(row.name);
        EXPECT_EQ(f.text() + f.tag(), QStringLiteral("88")) << row.name;
        EXPECT_EQ(f.background(), QColor(255, 255, 255));
        EXPECT_EQ(f.geometry(), QRect(Form_OPTIONS::kColumnLeft[i] / 15, 40, 25, 33));
        EXPECT_EQ(control<QPushButton>(row.upButton).text(), QStringLiteral("+ "));
        EXPECT_EQ(control<QPushButton>(row.downButton).text(), QStringLiteral("-"));
    }
    EXPECT_EQ(control<platform::TagButton>("CmdButton_LAT_HEMI").tag() + control<QPushButton>("CmdButton_LONG_HEMI").text(),
              QStringLiteral("NE"));
    EXPECT_EQ(control<QPushButton>("CmdButton_COMM_PORT").text(), QStringLiteral("COM PORT : COM 1"));
    EXPECT_EQ(control<QPushButton>("CmdButton_EXIT").text(), QStringLiteral("EXIT"));
    const QImage point = control<QLabel>("Picture_LAT_POINT").pixmap().toImage();
    EXPECT_EQ(point.size(), QSize(7, 32));
    EXPECT_EQ(QColor(point.pixel(3, 27)), QColor(Qt::black));
    EXPECT_EQ(QColor(point.pixel(3, 10)), QColor(Qt::white));
}

TEST_F(OptionsWindow, EveryButtonReachesTheStationAndTheFieldsShowWhatItHolds)
{
    for (int f = 0; f < options::kDigitFieldCount; ++f)
        windowed.station.model().setDigit(f, 0);
    for (const options::DigitField& row : kDigitFields) {
        control<QPushButton>(row.upButton).click();
        EXPECT_EQ(field(row.name).text() + field(row.name).tag(), QStringLiteral("11")) << row.upButton;
        control<QPushButton>(row.downButton).click();
        EXPECT_EQ(field(row.name).text() + field(row.name).tag(), QStringLiteral("00")) << row.downButton;
    }
    control<QPushButton>("CmdButton_LAT_HEMI").click();
    EXPECT_EQ(control<QPushButton>("CmdButton_LAT_HEMI").text(), QStringLiteral("S"));
    control<QPushButton>("CmdButton_LONG_DEGX1_UP").click();
    control<QPushButton>("CmdButton_LONG_HEMI").click();
    EXPECT_EQ(control<platform::TagButton>("CmdButton_LONG_HEMI").tag(), QStringLiteral("W"));
    EXPECT_EQ(windowed.station.state().START_LONGITUDE, QStringLiteral("-001.00000"));

    // A refused website port shows in its digits' background (only theirs), a refused COM port in the
    // selector's face; the selector names the port selected once there is one.
    const QColor shadow = QApplication::palette().color(QPalette::Dark);
    station::StationModel& model = windowed.station.model();
    model.setWebsitePortRefused(true);
    EXPECT_EQ(field("Label_SITE_X10K").background(), shadow);
    EXPECT_EQ(field("Label_SITE_X1").background(), shadow);
    EXPECT_EQ(field("Label_DFCAL_X100").background(), QColor(255, 255, 255));
    model.setWebsitePortRefused(false);
    EXPECT_EQ(field("Label_SITE_X1").background(), QColor(255, 255, 255));
    auto& commPort = control<platform::TagButton>("CmdButton_COMM_PORT");
    model.setCommPort(2);
    model.setCommPortRefused(true);
    EXPECT_EQ(commPort.text(), QStringLiteral("COMM PORT : COM 2"));
    EXPECT_EQ(commPort.palette().color(QPalette::Button), shadow);
}

TEST_F(OptionsWindow, ExitAndCloseOnlyHide)
{
    windowed.station.CmdButton_OPTIONS_Click();
    EXPECT_TRUE(window.isVisible());
    control<QPushButton>("CmdButton_EXIT").click();
    EXPECT_TRUE(window.isHidden());
    windowed.station.CmdButton_OPTIONS_Click();
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isHidden());
    EXPECT_FALSE(windowed.station.model().optionsOpen());
}

TEST_F(OptionsWindow, ControlsAreFoundByNameAndAccessibleName)
{
    for (const char* name : {"CmdButton_COMM_PORT", "CmdButton_LAT_HEMI", "Label_SITE_X1", "CmdButton_EXIT"}) {
        QWidget& widget = control(name);
        EXPECT_EQ(testsupport::accessibleName(widget), testsupport::shownText(widget)) << name;
    }
}
