// The station window as a view of the station: its controls at their places in their creation state,
// presses reaching the station, and both windows looking, pixel for pixel, as their screenshots show.
#include "windows/captionwidgets.h"
#include "core/station/captions.h"
#include "windows/windowedstation.h"
#include "support/settingsfolder.h"
#include "support/windowcontrols.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <gtest/gtest.h>

using station::ControlId;

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
    // The captions the screenshots were taken with.
    station::Controls& c = core.controls();
    c.setCaption(ControlId::Label_HTTP0, QStringLiteral("WEBSITE SERVER STATE 2 : LISTENING"));
    c.setCaption(ControlId::Label_SITE, QStringLiteral("WEBSITE PORT : 10000"));
    c.setCaption(ControlId::Label_DF_STATUS, QStringLiteral("DF = DETECTED"));
    c.setCaption(ControlId::Label_REPORTED_BEARING, QStringLiteral("REPORTED BEARING :  45"));
    const char* const digits = "10000000342511111944500";
    for (int field = 0; field < options::kDigitFieldCount; ++field)
        core.model().setDigit(field, digits[field] - '0');
    c.setCaptionAndTag(ControlId::CmdButton_LONG_HEMI, QStringLiteral("W"));
    c.setCaption(ControlId::CmdButton_COMM_PORT, QStringLiteral("COMM PORT : COM 1"));

    for (auto [widget, file] : {std::pair<QWidget*, const char*>{&window, "station.png"},
                                std::pair<QWidget*, const char*>{&windowed.optionsWindow, "options.png"}}) {
        const QImage committed(QStringLiteral(TARNVALE_SCREENSHOTS "/") + QLatin1String(file));
        ASSERT_FALSE(committed.isNull()) << file;
        const QImage now = widget->grab().toImage();
        ASSERT_EQ(now.size(), committed.size()) << file;
        EXPECT_EQ(differingPixels(now, committed, 8), 0) << file;
    }
}
