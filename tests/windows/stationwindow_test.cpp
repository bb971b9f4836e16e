// The station window as a view of the station: its controls at their places in their creation state,
// presses reaching the station, and both windows looking, pixel for pixel, as their screenshots show.
#include "windows/captionwidgets.h"
#include "windows/captions.h"
#include "windows/windowedstation.h"
#include "support/settingsfolder.h"
#include "support/windowcontrols.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <gtest/gtest.h>

using station::DrawnBearing;
using station::ReportedBearing;

namespace {

class StationWindow : public ::testing::Test
{
protected:
    template <typename T = QWidget>
    T& control(const char* name) const { return testsupport::childNamed<T>(window, name); }
    QString text(const char* name) const { return testsupport::shownText(control(name)); }

    station::WindowedStation windowed;
    Form_STATION& window = windowed.stationWindow;
    StationCore& core = windowed.station;
};

// Grey levels of two images of one size: the number of pixels that differ by more than `tolerance`.
qint64 differingPixels(const QImage& a, const QImage& b, int tolerance)
{
    const QImage x = a.convertToFormat(QImage::Format_Grayscale8);
    const QImage y = b.convertToFormat(QImage::Format_Grayscale8);
    qint64 differing = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int col = 0; col < x.width(); ++col)
            differing += std::abs(int(p[col]) - int(q[col])) > tolerance;
    }
    return differing;
}

} // namespace

TEST_F(StationWindow, CreationStateAndPlaces)
{
    EXPECT_EQ(window.objectName(), QStringLiteral("Form_STATION"));
    EXPECT_EQ(window.size(), QSize(307, 148));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Tarnvale WebServer : Demo"));
    const struct { const char* name; const char* caption; QRect geometry; } expected[] = {
        {"Label_HTTP0", "WEBSITE SERVER STATE 0 : CONN CLOSED", {8, 8, 265, 17}},
        {"Label_SITE", "WEBSITE PORT : ", {8, 24, 145, 17}},
        {"Label_DF_STATUS", "DF INPUT = OFF", {200, 32, 89, 17}},
        {"Label_REPORTED_BEARING", "REPORTED BEARING : NONE", {8, 48, 177, 17}},
        {"Label_TEST_STATUS", "", {224, 48, 57, 17}},
        {"CmdButton_ACQUIRE", "  DF INPUT  ON ( OFF )", {16, 88, 81, 41}},
        {"CmdButton_TEST", "   TEST      OFF ( ON )", {112, 88, 81, 41}},
        {"CmdButton_OPTIONS", "OPTIONS", {208, 88, 81, 41}},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(text(e.name), QLatin1String(e.caption)) << e.name;
        EXPECT_EQ(control(e.name).geometry(), e.geometry) << e.name;
        EXPECT_EQ(testsupport::accessibleName(control(e.name)), QLatin1String(e.caption)) << e.name;
    }
    EXPECT_EQ(control<platform::TagButton>("CmdButton_ACQUIRE").tag(), QStringLiteral("ON"));
    EXPECT_EQ(control<platform::TagButton>("CmdButton_TEST").tag(), QStringLiteral("OFF"));
}

TEST_F(StationWindow, PressesReachTheStationAndItsChangesShow)
{
    control<QPushButton>("CmdButton_ACQUIRE").click();
    EXPECT_FALSE(core.model().dfInput());
    EXPECT_EQ(text("CmdButton_ACQUIRE"), station::kAcquireOffCaption);
    EXPECT_EQ(control<platform::TagButton>("CmdButton_ACQUIRE").tag(), station::kOff);

    control<QPushButton>("CmdButton_TEST").click();
    EXPECT_EQ(text("CmdButton_TEST"), station::kTestOnCaption);
    EXPECT_EQ(text("Label_TEST_STATUS"), QStringLiteral("TEST : ON"));
    EXPECT_TRUE(control("Label_DF_STATUS").isHidden());
    control<QPushButton>("CmdButton_TEST").click();
    EXPECT_FALSE(control("Label_DF_STATUS").isHidden());

    control<QPushButton>("CmdButton_OPTIONS").click();
    control<QPushButton>("CmdButton_OPTIONS").click();
    int visible = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        visible += w->objectName() == QStringLiteral("Form_OPTIONS") && w->isVisible();
    EXPECT_EQ(visible, 1);
}

TEST_F(StationWindow, TheLabelsSayWhatTheStationHolds)
{
    station::StationModel& model = core.model();
    // The website port's digits appear once the station has started, leading zeros kept.
    for (int field = 0; field < 5; ++field)
        model.setDigit(field, field == 3 ? 8 : 0);
    EXPECT_EQ(text("Label_SITE"), QStringLiteral("WEBSITE PORT : "));
    model.setStarted();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Tarnvale WebServer (Demo)"));
    EXPECT_EQ(text("Label_SITE"), QStringLiteral("WEBSITE PORT : 00080"));
    model.setDigit(4, 1);
    EXPECT_EQ(text("Label_SITE"), QStringLiteral("WEBSITE PORT : 00081"));

    // A socket state without a name leaves the last caption standing.
    model.setServerState(9);
    EXPECT_EQ(text("Label_HTTP0"), QStringLiteral("WEBSITE SERVER STATE 9 : ERROR"));
    model.setServerState(10);
    EXPECT_EQ(text("Label_HTTP0"), QStringLiteral("WEBSITE SERVER STATE 9 : ERROR"));

    const struct { station::DfStatus status; const char* caption; } statuses[] = {
        {station::DfStatus::Detected, "DF = DETECTED"}, {station::DfStatus::Silent, "DF = SILENT"},
        {station::DfStatus::InputOff, "DF INPUT = OFF"},
    };
    for (const auto& s : statuses) {
        model.setDfStatus(s.status);
        EXPECT_EQ(text("Label_DF_STATUS"), QLatin1String(s.caption));
    }

    // A DF bearing as a number is written, a test bearing in three digits.
    const struct { DrawnBearing::Source source; int degrees; const char* caption; } bearings[] = {
        {DrawnBearing::Source::Df, 45, "REPORTED BEARING :  45"}, {DrawnBearing::Source::Df, -5, "REPORTED BEARING : -5"},
        {DrawnBearing::Source::Df, 0, "REPORTED BEARING :  0"}, {DrawnBearing::Source::Test, 6, "REPORTED BEARING : 006"},
        {DrawnBearing::Source::Test, 354, "REPORTED BEARING : 354"},
    };
    for (const auto& b : bearings) {
        model.setReportedBearing(ReportedBearing{b.source, b.degrees});
        EXPECT_EQ(text("Label_REPORTED_BEARING"), QLatin1String(b.caption));
    }
    model.setReportedBearing(std::nullopt);
    EXPECT_EQ(text("Label_REPORTED_BEARING"), QStringLiteral("REPORTED BEARING : NONE"));
}

TEST_F(StationWindow, TheDfInputButtonShowsOnWhileTheMissingPortIsReportedThenOff)
{
    testsupport::SettingsFolder folder;
    const int port = core.serialPort().commPort();
    ASSERT_TRUE(QFile::link(folder.folder() + QStringLiteral("/nowhere"), folder.folder() + QStringLiteral("/COM%1").arg(port)));
    control<QPushButton>("CmdButton_ACQUIRE").click(); // off
    QString captionWhileShown;
    QString tagWhileShown;
    QObject::connect(&windowed.boxes, &platform::MessageBoxes::shown, [&] {
        captionWhileShown = text("CmdButton_ACQUIRE");
        tagWhileShown = control<platform::TagButton>("CmdButton_ACQUIRE").tag();
        windowed.boxes.answerAll();
    });

    control<QPushButton>("CmdButton_ACQUIRE").click();
    EXPECT_EQ(captionWhileShown, station::kAcquireOnCaption);
    EXPECT_EQ(tagWhileShown, station::kOn);
    EXPECT_EQ(text("CmdButton_ACQUIRE"), station::kAcquireOffCaption);
    EXPECT_EQ(control<platform::TagButton>("CmdButton_ACQUIRE").tag(), station::kOff);
    EXPECT_EQ(text("CmdButton_TEST"), station::kTestOffCaption);
    EXPECT_EQ(control<platform::TagButton>("CmdButton_TEST").tag(), station::kOff);
}

TEST_F(StationWindow, ClosingItShutsTheStationDown)
{
    QSignalSpy closed(&core, &StationCore::closed);
    window.show();
    window.close();
    EXPECT_TRUE(core.isClosed());
    EXPECT_EQ(closed.count(), 1);
}

TEST_F(StationWindow, LooksAsItsScreenshotsShowIt)
{
    // The station as the screenshots were taken of it.
    station::StationModel& model = core.model();
    const char* const digits = "10000000342511111944500";
    for (int field = 0; field < options::kDigitFieldCount; ++field)
        model.setDigit(field, digits[field] - '0');
    model.setStarted();
    model.setServerState(2);
    model.setDfStatus(station::DfStatus::Detected);
    model.setReportedBearing(ReportedBearing{DrawnBearing::Source::Df, 45});
    model.setHemispheres(false, true);
    model.setCommPort(1);

    for (auto [widget, file] : {std::pair<QWidget*, const char*>{&window, "station.png"},
                                std::pair<QWidget*, const char*>{&windowed.optionsWindow, "options.png"}}) {
        const QImage committed(QStringLiteral(TARNVALE_SCREENSHOTS "/") + QLatin1String(file));
        ASSERT_FALSE(committed.isNull()) << file;
        const QImage now = widget->grab().toImage();
        ASSERT_EQ(now.size(), committed.size()) << file;
        EXPECT_EQ(differingPixels(now, committed, 8), 0) << file;
    }
}
