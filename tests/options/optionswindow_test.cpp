#include "fakestation.h"

#include "options/digittable.h"
#include "options/optionswindow.h"
#include "platform/captionwidgets.h"

#include <QApplication>
#include <QGroupBox>
#include <QLocale>
#include <gtest/gtest.h>

namespace {

class OptionsWindow : public ::testing::Test
{
protected:
    platform::TagLabel& field(const char* name) { return *window.digitField(QLatin1String(name)); }
    QString tag(const char* name) { return field(name).tag(); }
    void click(const char* button)
    {
        auto* b = window.findChild<QPushButton*>(QLatin1String(button));
        ASSERT_NE(b, nullptr) << button;
        b->click();
    }
    // Writes one digit per field, in the given order.
    void setDigits(std::initializer_list<const char*> names, const char* digits)
    {
        for (const char* name : names)
            field(name).setDigit(QString(QLatin1Char(*digits++)));
    }
    QString joinedTags(std::initializer_list<const char*> names)
    {
        QString out;
        for (const char* name : names)
            out += tag(name);
        return out;
    }

    FakeStation station;
    Form_OPTIONS window{station};
};

const std::initializer_list<const char*> kLat{"Label_LAT_DEGX10", "Label_LAT_DEGX1", "Label_LAT_MINX10",
    "Label_LAT_MINX1", "Label_LAT_MINX01", "Label_LAT_MINX001", "Label_LAT_MINX0001"};
const std::initializer_list<const char*> kLong{"Label_LONG_DEGX100", "Label_LONG_DEGX10", "Label_LONG_DEGX1",
    "Label_LONG_MINX10", "Label_LONG_MINX1", "Label_LONG_MINX01", "Label_LONG_MINX001", "Label_LONG_MINX0001"};
const std::initializer_list<const char*> kCal{"Label_DFCAL_X100", "Label_DFCAL_X10", "Label_DFCAL_X1"};
const std::initializer_list<const char*> kSite{"Label_SITE_X10K", "Label_SITE_X1K", "Label_SITE_X100",
    "Label_SITE_X10", "Label_SITE_X1"};

} // namespace

TEST_F(OptionsWindow, DesignState)
{
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Tarnvale Options"));
    EXPECT_EQ(window.size(), QSize(564, 247));
    for (const auto& [name, caption] : {std::pair{"Frame_POSITION", "POSITION"}, std::pair{"Frame_DF_CALIB", "DF CALIB"},
                                        std::pair{"frame_COMM", "DF COM PORT"}, std::pair{"Frame_WEBSITE_PORT", "WEBSITE PORT"}}) {
        auto* frame = window.findChild<QGroupBox*>(QLatin1String(name));
        ASSERT_NE(frame, nullptr) << name;
        EXPECT_EQ(frame->title(), QLatin1String(caption));
    }
    for (const options::DigitColumn& column : options::kDigitColumns) {
        const platform::TagLabel& f = field(column.field);
        EXPECT_EQ(f.text(), QStringLiteral("8")) << column.field;
        EXPECT_EQ(f.tag(), QStringLiteral("8"));
        EXPECT_EQ(f.background(), QColor(255, 255, 255));
        EXPECT_DOUBLE_EQ(f.font().pointSizeF(), 21.75);
        EXPECT_EQ(f.geometry(), QRect(column.left / 15, 40, 25, 33));
        auto* up = window.findChild<QPushButton*>(QLatin1String(column.upButton));
        auto* down = window.findChild<QPushButton*>(QLatin1String(column.downButton));
        ASSERT_TRUE(up && down) << column.field;
        EXPECT_EQ(up->text(), QStringLiteral("+ "));
        EXPECT_EQ(down->text(), QStringLiteral("-"));
        EXPECT_EQ(up->parentWidget(), f.parentWidget());
    }
    EXPECT_EQ(window.latHemiButton().tag(), QStringLiteral("N"));
    EXPECT_EQ(window.longHemiButton().text(), QStringLiteral("E"));
    EXPECT_TRUE(window.latHemiButton().font().bold());
    EXPECT_EQ(window.commPortButton().text(), QStringLiteral("COM PORT : COM 1"));
    auto* exit = window.findChild<QPushButton*>(QStringLiteral("CmdButton_EXIT"));
    ASSERT_NE(exit, nullptr);
    EXPECT_EQ(exit->geometry(), QRect(464, 136, 89, 97));

    auto* point = window.findChild<QLabel*>(QStringLiteral("Picture_LONG_POINT"));
    ASSERT_NE(point, nullptr);
    const QImage image = point->pixmap().toImage();
    EXPECT_EQ(image.size(), QSize(7, 32));
    EXPECT_EQ(QColor(image.pixel(3, 27)), QColor(Qt::black));
    EXPECT_EQ(QColor(image.pixel(3, 10)), QColor(Qt::white));
}

TEST_F(OptionsWindow, EveryButtonStepsItsOwnFieldAndRunsItsEditorsOperation)
{
    for (const options::DigitColumn& column : options::kDigitColumns) {
        for (const char* field : kLat) setDigits({field}, "0");
        for (const char* field : kLong) setDigits({field}, "0");
        setDigits(kCal, "000");
        setDigits(kSite, "00000");
        station.state() = StationState{};
        station.siteCaption.clear();

        click(column.upButton);
        const QString up = tag(column.field);
        click(column.downButton);
        EXPECT_EQ(up, QStringLiteral("1")) << column.upButton;
        EXPECT_EQ(tag(column.field), QStringLiteral("0")) << column.downButton;
        int changedFields = 0;
        for (const options::DigitColumn& other : options::kDigitColumns)
            changedFields += tag(other.field) != QStringLiteral("0");
        EXPECT_EQ(changedFields, 0) << column.field;

        switch (column.editor) {
        case options::Editor::Position:
            EXPECT_EQ(station.state().START_LATITUDE, QStringLiteral("+00.00000")) << column.field;
            break;
        case options::Editor::WebsitePort:
            EXPECT_EQ(station.siteCaption, QStringLiteral("WEBSITE PORT : 00000")) << column.field;
            break;
        case options::Editor::Calibration:
            EXPECT_EQ(station.state().DF_CAL, 0);
            EXPECT_TRUE(station.state().START_LATITUDE.isEmpty() && station.siteCaption.isEmpty()) << column.field;
            break;
        }
    }
}

TEST_F(OptionsWindow, PositionFollowsDigitsAndHemispheres)
{
    setDigits(kLat, "3425110");
    setDigits(kLong, "11944500");
    window.CmdButton_LONG_HEMI_Click();
    const StationState& s = station.state();
    EXPECT_EQ(s.START_LATITUDE, QStringLiteral("+34.41850"));
    EXPECT_EQ(s.START_LONGITUDE, QStringLiteral("-119.74167"));
    EXPECT_EQ(s.END_LATITUDE, s.START_LATITUDE);
    EXPECT_EQ(s.END_LONGITUDE, s.START_LONGITUDE);

    click("CmdButton_LAT_HEMI");
    EXPECT_EQ(window.latHemiButton().text(), QStringLiteral("S"));
    EXPECT_EQ(s.START_LATITUDE, QStringLiteral("-34.41850"));
    click("CmdButton_LAT_HEMI");
    EXPECT_EQ(window.latHemiButton().tag(), QStringLiteral("N"));
    EXPECT_EQ(s.START_LATITUDE, QStringLiteral("+34.41850"));

    // A tag that is neither hemisphere stays, and counts as north.
    window.latHemiButton().setTag(QStringLiteral("n"));
    click("CmdButton_LAT_HEMI");
    EXPECT_EQ(window.latHemiButton().tag(), QStringLiteral("n"));
    EXPECT_EQ(s.START_LATITUDE, QStringLiteral("+34.41850"));

    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    setDigits(kLat, "8959999");
    window.POSITION();
    QLocale::setDefault(before);
    EXPECT_EQ(s.START_LATITUDE, QStringLiteral("+89.99998"));
    EXPECT_EQ(s.END_LONGITUDE, QStringLiteral("-119.74167"));
}

TEST_F(OptionsWindow, PositionEditorEdges)
{
    setDigits(kLat, "8059000");
    setDigits(kLong, "00050000");
    click("CmdButton_LAT_DEGX10_UP");
    EXPECT_EQ(tag("Label_LAT_DEGX10"), QStringLiteral("0"));
    click("CmdButton_LAT_DEGX10_DN");
    EXPECT_EQ(field("Label_LAT_DEGX10").text(), QStringLiteral("8"));
    click("CmdButton_LAT_MINX10_UP");
    click("CmdButton_LONG_MINX10_UP");
    EXPECT_EQ(tag("Label_LAT_MINX10") + tag("Label_LONG_MINX10"), QStringLiteral("00"));
    click("CmdButton_LAT_MINX10_DN");
    click("CmdButton_LONG_MINX10_DN");
    EXPECT_EQ(tag("Label_LAT_MINX10") + tag("Label_LONG_MINX10"), QStringLiteral("55"));
    // No carry: 59 minutes up in the units gives 50.
    click("CmdButton_LAT_MINX1_UP");
    EXPECT_EQ(joinedTags(kLat), QStringLiteral("8050000"));
    EXPECT_EQ(station.state().START_LATITUDE, QStringLiteral("+80.83333"));

    // 099 degrees: either hundreds button gives 179, again gives 079.
    setDigits(kLong, "09900000");
    click("CmdButton_LONG_DEGX100_DN");
    EXPECT_EQ(joinedTags(kLong), QStringLiteral("17900000"));
    EXPECT_EQ(station.state().START_LONGITUDE, QStringLiteral("+179.00000"));
    click("CmdButton_LONG_DEGX100_UP");
    EXPECT_EQ(joinedTags(kLong), QStringLiteral("07900000"));
    EXPECT_EQ(station.state().END_LONGITUDE, QStringLiteral("+079.00000"));

    setDigits(kLong, "17000000");
    click("CmdButton_LONG_DEGX10_UP");
    EXPECT_EQ(tag("Label_LONG_DEGX10"), QStringLiteral("0"));
    click("CmdButton_LONG_DEGX10_DN");
    EXPECT_EQ(tag("Label_LONG_DEGX10"), QStringLiteral("7"));
    setDigits({"Label_LONG_DEGX100"}, "0");
    click("CmdButton_LONG_DEGX10_UP");
    EXPECT_EQ(tag("Label_LONG_DEGX10"), QStringLiteral("8"));
    setDigits({"Label_LONG_DEGX10"}, "0");
    click("CmdButton_LONG_DEGX10_DN");
    EXPECT_EQ(tag("Label_LONG_DEGX10"), QStringLiteral("9"));
}

TEST_F(OptionsWindow, TagOutsideItsRangeStaysWhilePositionIsStillComputed)
{
    setDigits(kLat, "9000000");
    setDigits(kLong, "00000000");
    station.state().START_LATITUDE = QStringLiteral("stale");
    click("CmdButton_LAT_DEGX10_UP");
    EXPECT_EQ(field("Label_LAT_DEGX10").text(), QStringLiteral("9"));
    EXPECT_EQ(station.state().START_LATITUDE, QStringLiteral("+90.00000"));
}

TEST_F(OptionsWindow, CalibrationIsCutTo359)
{
    setDigits(kCal, "359");
    click("CmdButton_DFCAL_X1_UP");
    EXPECT_EQ(joinedTags(kCal), QStringLiteral("350"));
    EXPECT_EQ(station.state().DF_CAL, 350);
    setDigits(kCal, "359");
    click("CmdButton_DFCAL_X10_UP");
    EXPECT_EQ(joinedTags(kCal), QStringLiteral("359"));
    EXPECT_EQ(field("Label_DFCAL_X10").text(), QStringLiteral("5"));
    EXPECT_EQ(station.state().DF_CAL, 359);
    setDigits(kCal, "099");
    click("CmdButton_DFCAL_X100_DN");
    EXPECT_EQ(joinedTags(kCal), QStringLiteral("359"));
    click("CmdButton_DFCAL_X100_UP");
    EXPECT_EQ(joinedTags(kCal), QStringLiteral("059"));
    setDigits(kCal, "000");
    click("CmdButton_DFCAL_X1_DN");
    EXPECT_EQ(joinedTags(kCal), QStringLiteral("009"));
    EXPECT_EQ(station.state().DF_CAL, 9);
    setDigits(kCal, "000");
    window.CHANGE_CAL();
    EXPECT_EQ(station.state().DF_CAL, 0);
}

TEST_F(OptionsWindow, WebsitePortIsCutTo65535AndKeepsLeadingZeros)
{
    setDigits(kSite, "69999");
    window.CHANGE_SITE();
    EXPECT_EQ(joinedTags(kSite), QStringLiteral("65535"));
    EXPECT_EQ(field("Label_SITE_X1").text(), QStringLiteral("5"));
    EXPECT_EQ(station.siteCaption, QStringLiteral("WEBSITE PORT : 65535"));
    EXPECT_EQ(station.state().WEBSITE_PORT, 65535);

    click("CmdButton_SITE_X1_UP"); // 65536
    EXPECT_EQ(joinedTags(kSite), QStringLiteral("65535"));
    setDigits(kSite, "59999");
    click("CmdButton_SITE_X10K_UP");
    EXPECT_EQ(joinedTags(kSite), QStringLiteral("65535"));
    click("CmdButton_SITE_X10K_UP");
    EXPECT_EQ(tag("Label_SITE_X10K"), QStringLiteral("0"));
    click("CmdButton_SITE_X10K_DOWN");
    EXPECT_EQ(tag("Label_SITE_X10K"), QStringLiteral("6"));

    // A ten-thousands digit of 7 is not stepped, but the port is still cut down.
    setDigits(kSite, "71234");
    click("CmdButton_SITE_X10K_DOWN");
    EXPECT_EQ(joinedTags(kSite), QStringLiteral("65535"));

    setDigits(kSite, "00080");
    click("CmdButton_SITE_X1_UP");
    EXPECT_EQ(station.siteCaption, QStringLiteral("WEBSITE PORT : 00081"));
    EXPECT_EQ(station.state().WEBSITE_PORT, 81);
    setDigits(kSite, "00089");
    click("CmdButton_SITE_X1_UP");
    EXPECT_EQ(station.siteCaption, QStringLiteral("WEBSITE PORT : 00080"));
}

TEST_F(OptionsWindow, ExitAndCloseOnlyHide)
{
    setDigits(kSite, "08080");
    window.show();
    click("CmdButton_EXIT");
    EXPECT_TRUE(window.isHidden());
    window.show();
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isHidden());
    window.show();
    EXPECT_EQ(joinedTags(kSite), QStringLiteral("08080"));
}
