// The options operations on the station core: digit steps, working values, hemispheres and EXIT.
#include "core/station/optionscore.h"
#include "platform/messages.h"
#include "core/station/stationcore.h"

#include <gtest/gtest.h>

using options::kDigitFields;
using options::Step;

namespace {

const char* const kLat[] = {"Label_LAT_DEGX10", "Label_LAT_DEGX1", "Label_LAT_MINX10", "Label_LAT_MINX1",
                            "Label_LAT_MINX01", "Label_LAT_MINX001", "Label_LAT_MINX0001"};
const char* const kLong[] = {"Label_LONG_DEGX100", "Label_LONG_DEGX10", "Label_LONG_DEGX1", "Label_LONG_MINX10",
                             "Label_LONG_MINX1", "Label_LONG_MINX01", "Label_LONG_MINX001", "Label_LONG_MINX0001"};
const char* const kCal[] = {"Label_DFCAL_X100", "Label_DFCAL_X10", "Label_DFCAL_X1"};
const char* const kSite[] = {"Label_SITE_X10K", "Label_SITE_X1K", "Label_SITE_X100", "Label_SITE_X10", "Label_SITE_X1"};

class Options : public ::testing::Test
{
protected:
    void step(const char* name, Step direction) { operations.stepDigit(options::digitFieldIndex(name), direction); }
    QString caption(const char* name) const { return digit(options::digitFieldIndex(name)); }
    QString digit(int field) const { return QString::number(station.model().digit(field)); }
    // One digit per field, in order; read back as the joined tags.
    template <size_t N>
    void set(const char* const (&names)[N], const char* digits)
    {
        for (const char* name : names)
            station.model().setDigit(options::digitFieldIndex(name), *digits++ - '0');
    }
    template <size_t N>
    QString tags(const char* const (&names)[N]) const
    {
        QString out;
        for (const char* name : names)
            out += caption(name);
        return out;
    }

    platform::Messages messages;
    StationCore station{messages};
    options::OptionsCore& operations = station.options();
    const StationState& s = station.state();
};

} // namespace

TEST_F(Options, EveryStepChangesOnlyItsFieldAndRunsItsEditorsOperation)
{
    for (int f = 0; f < options::kDigitFieldCount; ++f) {
        for (int c = 0; c < options::kDigitFieldCount; ++c)
            station.model().setDigit(c, 0);
        station.state() = StationState{};
        int websiteChanges = 0;
        const QMetaObject::Connection counting = QObject::connect(
            &station.model(), &station::StationModel::websiteChanged, [&] { ++websiteChanges; });

        operations.stepDigit(f, Step::Up);
        const char* name = kDigitFields[static_cast<size_t>(f)].name;
        EXPECT_EQ(digit(f), QStringLiteral("1")) << name;
        operations.stepDigit(f, Step::Down);
        int changed = 0;
        for (int c = 0; c < options::kDigitFieldCount; ++c)
            changed += digit(c) != QStringLiteral("0");
        EXPECT_EQ(changed, 0) << name;
        const options::Editor editor = kDigitFields[static_cast<size_t>(f)].editor;
        EXPECT_EQ(s.START_LATITUDE.isEmpty(), editor != options::Editor::Position) << name;
        EXPECT_EQ(websiteChanges > 0, editor == options::Editor::WebsitePort) << name;
        QObject::disconnect(counting);
    }
}

TEST_F(Options, PositionFollowsDigitsAndHemispheres)
{
    set(kLong, "11944500");
    operations.CmdButton_LONG_HEMI_Click();
    EXPECT_EQ(s.START_LONGITUDE, QStringLiteral("-119.74167"));
    EXPECT_EQ(s.END_LONGITUDE, s.START_LONGITUDE);
    for (const char* hemisphere : {"S", "N", "S"}) {
        const QString before = s.START_LATITUDE;
        operations.CmdButton_LAT_HEMI_Click();
        EXPECT_EQ(station.model().latitudeSouth(), QString(hemisphere) == u'S');
        EXPECT_EQ(s.START_LATITUDE.mid(1), before.mid(1));
        EXPECT_NE(s.START_LATITUDE[0], before[0]);
        EXPECT_EQ(s.END_LATITUDE, s.START_LATITUDE);
    }
    // 099 degrees: either hundreds button gives 179, the next one 079.
    set(kLong, "09900000");
    step("Label_LONG_DEGX100", Step::Down);
    EXPECT_EQ(tags(kLong), QStringLiteral("17900000"));
    EXPECT_EQ(caption("Label_LONG_DEGX10"), QStringLiteral("7"));
    EXPECT_EQ(s.START_LONGITUDE, QStringLiteral("-179.00000"));
    step("Label_LONG_DEGX100", Step::Up);
    EXPECT_EQ(s.END_LONGITUDE, QStringLiteral("-079.00000"));
    // A tag outside its range stays, and the position is still computed.
    set(kLat, "9000000");
    step("Label_LAT_DEGX10", Step::Up);
    EXPECT_EQ(caption("Label_LAT_DEGX10"), QStringLiteral("9"));
    EXPECT_EQ(s.START_LATITUDE, QStringLiteral("-90.00000"));
}

TEST_F(Options, CalibrationIsCutTo359)
{
    set(kCal, "359");
    step("Label_DFCAL_X1", Step::Up);
    EXPECT_EQ(s.DF_CAL, 350);
    set(kCal, "359");
    step("Label_DFCAL_X10", Step::Up);
    EXPECT_EQ(tags(kCal), QStringLiteral("359"));
    EXPECT_EQ(caption("Label_DFCAL_X10"), QStringLiteral("5"));
    EXPECT_EQ(s.DF_CAL, 359);
    set(kCal, "000");
    step("Label_DFCAL_X1", Step::Down);
    EXPECT_EQ(s.DF_CAL, 9);
    EXPECT_EQ(station.model().calibration(), 9);
}

TEST_F(Options, WebsitePortIsCutTo65535AndKeepsLeadingZeros)
{
    set(kSite, "65535");
    step("Label_SITE_X1", Step::Up);
    EXPECT_EQ(tags(kSite), QStringLiteral("65535"));
    EXPECT_EQ(caption("Label_SITE_X1"), QStringLiteral("5"));
    EXPECT_EQ(s.WEBSITE_PORT, 65535);
    // A ten-thousands digit of 7 is not stepped, but the port is still cut down.
    set(kSite, "71234");
    step("Label_SITE_X10K", Step::Down);
    EXPECT_EQ(tags(kSite), QStringLiteral("65535"));
    set(kSite, "00080");
    step("Label_SITE_X1", Step::Up);
    EXPECT_EQ(tags(kSite), QStringLiteral("00081"));
    EXPECT_EQ(s.WEBSITE_PORT, 81);
    set(kSite, "00089");
    step("Label_SITE_X1", Step::Up);
    EXPECT_EQ(tags(kSite), QStringLiteral("00080"));
}

TEST_F(Options, ExitClosesTheOptionsAndKeepsTheDigits)
{
    set(kSite, "08080");
    station.CmdButton_OPTIONS_Click();
    EXPECT_TRUE(station.model().optionsOpen());
    operations.CmdButton_EXIT_Click();
    EXPECT_FALSE(station.model().optionsOpen());
    EXPECT_EQ(tags(kSite), QStringLiteral("08080"));
}
