// Bearing input: serial sentences, the serial line coming back, the DF watchdog and the test generator.
#include "stationcore.h"

#include "core/bearing/bearingfield.h"
#include "core/bearing/testbearing.h"

using namespace station;

void StationCore::MSComm1_OnComm()
{
    bearing::SentenceFramer framer = m_state.receiver();
    const QString received = m_comm.input();
    for (const QChar c : received) {
        if (!framer.take(c))
            continue;

        m_model.setDfStatus(DfStatus::Detected);
        // In test mode a sentence only shows that the DF unit is alive.
        if (!m_model.testMode()) {
            // A field too large for a bearing is activity all the same, but draws nothing.
            if (const auto degrees = bearing::calibratedBearing(m_state.DF_BUFFER, m_state.DF_CAL)) {
                setDfValid(true);
                m_state.BEARING_DEGREES = *degrees;
                ENDPOINT();
                announceDrawn(DrawnBearing::Source::Df);
                m_model.setReportedBearing(ReportedBearing{DrawnBearing::Source::Df, *degrees});
            }
        }
        framer.reset();
        m_timerDf.restart();
    }
}

// The device went away under an open port (a USB adapter pulled out). DF input stays on: the station
// opens the same port again once a second, and reads on once it is back; the watchdog meanwhile
// reports silence as for a silent unit.
void StationCore::serialLineGone()
{
    if (m_model.dfInput())
        m_timerReopen.setEnabled(true);
}

void StationCore::reopenSerialLine()
{
    if (!m_model.dfInput() || m_comm.portOpen()) {
        m_timerReopen.setEnabled(false);
        return;
    }
    // No half sentence from before the outage may join the new bytes.
    if (m_comm.reopen())
        m_state.receiver().reset();
}

void StationCore::announceDrawn(DrawnBearing::Source source)
{
    m_model.drawBearing({source, m_state.BEARING_DEGREES, source == DrawnBearing::Source::Df ? m_state.DF_CAL : qint16(0),
                         m_state.START_LATITUDE, m_state.START_LONGITUDE, m_state.END_LATITUDE, m_state.END_LONGITUDE,
                         QDateTime::currentDateTimeUtc()});
}

void StationCore::Timer_DF_Timer()
{
    m_state.receiver().reset();
    m_model.setDfStatus(m_model.dfInput() ? DfStatus::Silent : DfStatus::InputOff);
    m_model.setReportedBearing(std::nullopt);
    m_timerDf.setEnabled(false);
    setDfValid(false);
    collapseLine();
}

void StationCore::Timer_TEST_Timer()
{
    const qint16 test = bearing::testBearing(m_clock().second());
    m_model.setReportedBearing(ReportedBearing{DrawnBearing::Source::Test, test});
    m_state.BEARING_DEGREES = test;
    // ENDPOINT before DF_VALID: the first tick after a withdrawn bearing leaves the line collapsed.
    const bool draws = m_state.DF_VALID;
    ENDPOINT();
    if (draws)
        announceDrawn(DrawnBearing::Source::Test);
    setDfValid(true);
    m_timerDf.restart();
}
