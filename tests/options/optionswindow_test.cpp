#include "fakestation.h"

#include "options/digittable.h"
#include "options/optionswindow.h"
#include "platform/captionwidgets.h"

#include <QGroupBox>
#include <gtest/gtest.h>

namespace {

const char* const kLat[] = {"Label_LAT_DEGX10", "Label_LAT_DEGX1", "Label_LAT_MINX10", "Label_LAT_MINX1",
                            "Label_LAT_MINX01", "Label_LAT_MINX001", "Label_LAT_MINX0001"};
const char* const kLong[] = {"Label_LONG_DEGX100", "Label_LONG_DEGX10", "Label_LONG_DEGX1", "Label_LONG_MINX10",
                             "Label_LONG_MINX1", "Label_LONG_MINX01", "Label_LONG_MINX001", "Label_LONG_MINX0001"};
const char* const kCal[] = {"Label_DFCAL_X100", "Label_DFCAL_X10", "Label_DFCAL_X1"};
const char* const kSite[] = {"Label_SITE_X10K", "Label_SITE_X1K", "Label_SITE_X100", "Label_SITE_X10", "Label_SITE_X1"};

class OptionsWindow : public ::testing::Test
{
protected:
    platform::TagLabel& field(const char* name) { return *window.digitField(QLatin1String(name)); }
    void click(const char* name) { window.findChild<QPushButton*>(QLatin1String(name))->click(); }
    // One digit per field, in order; read back as the joined tags.
    template <size_t N>
    void set(const char* const (&names)[N], const char* digits)
    {
        for (const char* name : names)
            field(name).setDigit(QString(QLatin1Char(*digits++)));
    }
    template <size_t N>
    QString tags(const char* const (&names)[N])
    {
        QString out;
        for (const char* name : names)
            out += field(name).tag();
        return out;
    }

    FakeStation station;
    Form_OPTIONS window{station};
    const StationState& s = station.state();
};

} // namespace

TEST_F(OptionsWindow, DesignState)
{
    EXPECT_EQ(window.size(), QSize(564, 247));
    EXPECT_EQ(window.findChild<QGroupBox*>(QStringLiteral("frame_COMM"))->title(), QStringLiteral("DF COM PORT"));
    for (const options::DigitColumn& column : options::kDigitColumns) {
        const platform::TagLabel& f = field(column.field);
        EXPECT_EQ(f.text() + f.tag(), QStringLiteral("88")) << column.field;
        EXPECT_EQ(f.background(), QColor(255, 255, 255));
        EXPECT_EQ(f.geometry(), QRect(column.left / 15, 40, 25, 33));
        EXPECT_EQ(window.findChild<QPushButton*>(QLatin1String(column.upButton))->text(), QStringLiteral("+ "));
        EXPECT_EQ(window.findChild<QPushButton*>(QLatin1String(column.downButton))->text(), QStringLiteral("-"));
    }
    EXPECT_EQ(window.latHemiButton().tag() + window.longHemiButton().text(), QStringLiteral("NE"));
    EXPECT_EQ(window.commPortButton().text(), QStringLiteral("COM PORT : COM 1"));
    const QImage point = window.findChild<QLabel*>(QStringLiteral("Picture_LAT_POINT"))->pixmap().toImage();
    EXPECT_EQ(point.size(), QSize(7, 32));
    EXPECT_EQ(QColor(point.pixel(3, 27)), QColor(Qt::black));
    EXPECT_EQ(QColor(point.pixel(3, 10)), QColor(Qt::white));
}

TEST_F(OptionsWindow, EveryButtonStepsOnlyItsFieldAndRunsItsEditorsOperation)
{
    for (const options::DigitColumn& column : options::kDigitColumns) {
        for (const options::DigitColumn& c : options::kDigitColumns)
            field(c.field).setDigit(QStringLiteral("0"));
        station.state() = StationState{};
        station.siteCaption.clear();

        click(column.upButton);
        EXPECT_EQ(field(column.field).tag(), QStringLiteral("1")) << column.upButton;
        click(column.downButton);
        int changed = 0;
        for (const options::DigitColumn& c : options::kDigitColumns)
            changed += field(c.field).tag() != QStringLiteral("0");
        EXPECT_EQ(changed, 0) << column.downButton;
        EXPECT_EQ(s.START_LATITUDE.isEmpty(), column.editor != options::Editor::Position) << column.field;
        EXPECT_EQ(station.siteCaption.isEmpty(), column.editor != options::Editor::WebsitePort) << column.field;
    }
}

TEST_F(OptionsWindow, PositionFollowsDigitsAndHemispheres)
{
    set(kLong, "11944500");
    click("CmdButton_LONG_HEMI");
    EXPECT_EQ(s.START_LONGITUDE, QStringLiteral("-119.74167"));
    EXPECT_EQ(s.END_LONGITUDE, s.START_LONGITUDE);
    for (const char* hemisphere : {"S", "N", "S"}) {
        const QString before = s.START_LATITUDE;
        click("CmdButton_LAT_HEMI");
        EXPECT_EQ(window.latHemiButton().text() + window.latHemiButton().tag(), QString(hemisphere) + hemisphere);
        EXPECT_EQ(s.START_LATITUDE.mid(1), before.mid(1));
        EXPECT_NE(s.START_LATITUDE[0], before[0]);
        EXPECT_EQ(s.END_LATITUDE, s.START_LATITUDE);
    }
    // 099 degrees: either hundreds button gives 179, the next one 079.
    set(kLong, "09900000");
    click("CmdButton_LONG_DEGX100_DN");
    EXPECT_EQ(tags(kLong), QStringLiteral("17900000"));
    EXPECT_EQ(s.START_LONGITUDE, QStringLiteral("-179.00000"));
    click("CmdButton_LONG_DEGX100_UP");
    EXPECT_EQ(s.END_LONGITUDE, QStringLiteral("-079.00000"));
    // A tag outside its range stays, and the position is still computed.
    set(kLat, "9000000");
    click("CmdButton_LAT_DEGX10_UP");
    EXPECT_EQ(field("Label_LAT_DEGX10").text(), QStringLiteral("9"));
    EXPECT_EQ(s.START_LATITUDE, QStringLiteral("-90.00000"));
}

TEST_F(OptionsWindow, CalibrationIsCutTo359)
{
    set(kCal, "359");
    click("CmdButton_DFCAL_X1_UP");
    EXPECT_EQ(s.DF_CAL, 350);
    set(kCal, "359");
    click("CmdButton_DFCAL_X10_UP");
    EXPECT_EQ(tags(kCal), QStringLiteral("359"));
    EXPECT_EQ(field("Label_DFCAL_X10").text(), QStringLiteral("5"));
    EXPECT_EQ(s.DF_CAL, 359);
    set(kCal, "000");
    click("CmdButton_DFCAL_X1_DN");
    EXPECT_EQ(s.DF_CAL, 9);
}

TEST_F(OptionsWindow, WebsitePortIsCutTo65535AndKeepsLeadingZeros)
{
    set(kSite, "65535");
    click("CmdButton_SITE_X1_UP");
    EXPECT_EQ(tags(kSite), QStringLiteral("65535"));
    EXPECT_EQ(field("Label_SITE_X1").text(), QStringLiteral("5"));
    EXPECT_EQ(station.siteCaption, QStringLiteral("WEBSITE PORT : 65535"));
    EXPECT_EQ(s.WEBSITE_PORT, 65535);
    // A ten-thousands digit of 7 is not stepped, but the port is still cut down.
    set(kSite, "71234");
    click("CmdButton_SITE_X10K_DOWN");
    EXPECT_EQ(tags(kSite), QStringLiteral("65535"));
    set(kSite, "00080");
    click("CmdButton_SITE_X1_UP");
    EXPECT_EQ(station.siteCaption, QStringLiteral("WEBSITE PORT : 00081"));
    EXPECT_EQ(s.WEBSITE_PORT, 81);
    set(kSite, "00089");
    click("CmdButton_SITE_X1_UP");
    EXPECT_EQ(station.siteCaption, QStringLiteral("WEBSITE PORT : 00080"));
}

TEST_F(OptionsWindow, ExitAndCloseOnlyHide)
{
    set(kSite, "08080");
    window.show();
    click("CmdButton_EXIT");
    EXPECT_TRUE(window.isHidden());
    window.show();
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isHidden());
    EXPECT_EQ(tags(kSite), QStringLiteral("08080"));
}
