// A DF line whose device goes away while DF input is on (a USB adapter pulled out; here the far end of
// the pseudo-terminal closed) and comes back (a new pseudo-terminal linked as the same COMn).
#include "stationfixture.h"

#include <QFile>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

class LostLine : public StationOnPty
{
protected:
    void loseTheDevice()
    {
        pty.unplug();
        ASSERT_TRUE(QTest::qWaitFor([this] { return station.serialLineLost(); }, 3000));
        EXPECT_FALSE(station.serialPort().portOpen());
    }
    bool reading() { return QTest::qWaitFor([this] { return station.serialPort().portOpen(); }, 2500); }

    testsupport::Pty replacement;
};

} // namespace

TEST_F(LostLine, ComesBackOnItsOwnAndStartsClean)
{
    std::vector<std::optional<station::ReportedBearing>> shown;
    QObject::connect(&model(), &station::StationModel::reportedBearingChanged,
                     [&](const std::optional<station::ReportedBearing>& bearing) { shown.push_back(bearing); });
    ASSERT_TRUE(sendSentence("%090\r"));
    ASSERT_TRUE(send("%1", [this] { return state().DF_BUFFER == u"%1"_s; }));
    station.timerDf().setEnabled(false); // only the reopening may drop the half sentence here
    ASSERT_NO_FATAL_FAILURE(loseTheDevice());
    EXPECT_TRUE(station.model().dfInput());
    EXPECT_EQ(station.model().serialLine(), station::SerialLine::Lost);

    ASSERT_TRUE(replacement.linkAs(settings.folder(), 1));
    ASSERT_TRUE(reading());
    EXPECT_FALSE(station.serialLineLost());
    EXPECT_EQ(station.model().serialLine(), station::SerialLine::Open);
    EXPECT_TRUE(state().DF_BUFFER.isEmpty());
    // Had the old "%1" been kept, "23" and CR would complete it as 123.
    ASSERT_TRUE(replacement.write("23\r%045\r"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return state().BEARING_DEGREES == 45; }, 3000));
    EXPECT_EQ(shown, (std::vector<std::optional<station::ReportedBearing>>{fromDf(90), fromDf(45)}));
    EXPECT_EQ(endPoint(), lineTo(45));
}

TEST_F(LostLine, ALinkRemovedAndMadeAgainForANewDeviceIsReadWithoutFallingBackMeanwhile)
{
    // As the DF simulator leaves it when it ends: its device closed and the COM1 link removed.
    pty.closeMaster();
    ASSERT_TRUE(QFile::remove(settings.folder() + u"/COM1"_s));
    ASSERT_TRUE(QTest::qWaitFor([this] { return station.serialLineLost(); }, 3000));
    // The next simulator links its device 2.5 s later; /dev/ttyS0, which opens on many machines, is
    // another device and must not be taken meanwhile.
    QTest::qWait(2500);
    EXPECT_FALSE(station.serialPort().portOpen()) << station.serialPort().openedDevice().toStdString();
    EXPECT_EQ(station.serialPort().triedDevice(), settings.folder() + u"/COM1"_s);

    ASSERT_TRUE(replacement.linkAs(settings.folder(), 1));
    ASSERT_TRUE(QTest::qWaitFor([this] { return station.serialPort().portOpen(); }, 2000));
    EXPECT_EQ(station.serialPort().openedDevice(), settings.folder() + u"/COM1 -> "_s + replacement.slavePath());
    ASSERT_TRUE(replacement.write("%123\r"));
    EXPECT_TRUE(QTest::qWaitFor([this] { return state().BEARING_DEGREES == 123; }, 2000));
}

TEST_F(LostLine, DfInputSwitchedOffDuringTheOutageEndsTheTries)
{
    ASSERT_NO_FATAL_FAILURE(loseTheDevice());
    station.CmdButton_ACQUIRE_Click();
    EXPECT_FALSE(station.serialLineLost());
    ASSERT_TRUE(replacement.linkAs(settings.folder(), 1));
    QTest::qWait(1500);
    EXPECT_FALSE(station.serialPort().portOpen());
    EXPECT_EQ(dfStatus(), u"DF INPUT = OFF"_s);
}

TEST_F(LostLine, TheComPortSelectorDuringTheOutageTriesTheNextPortAtOnce)
{
    ASSERT_TRUE(replacement.linkAs(settings.folder(), 2));
    ASSERT_NO_FATAL_FAILURE(loseTheDevice());
    station.options().CmdButton_COMM_PORT_Click();
    EXPECT_EQ(station.serialPort().commPort(), 2);
    EXPECT_TRUE(station.serialPort().portOpen());
    EXPECT_FALSE(station.serialLineLost());
    ASSERT_TRUE(replacement.write("%200\r"));
    EXPECT_TRUE(QTest::qWaitFor([this] { return state().BEARING_DEGREES == 200; }, 3000));

    // A next port that does not open: the selector's failure steps, and no more tries.
    replacement.unplug();
    ASSERT_TRUE(QTest::qWaitFor([this] { return station.serialLineLost(); }, 3000));
    ASSERT_TRUE(QFile::link(settings.folder() + u"/nowhere"_s, settings.folder() + u"/COM3"_s));
    station.options().CmdButton_COMM_PORT_Click();
    EXPECT_TRUE(model().commPortRefused());
    EXPECT_FALSE(station.model().dfInput());
    EXPECT_FALSE(station.serialLineLost());
}
