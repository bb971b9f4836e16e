// Bearing input on the station window: serial sentences, the DF watchdog and the test generator.
#include "stationwindow.h"

#include "captions.h"

#include "bearing/bearingfield.h"
#include "bearing/sentenceframer.h"
#include "bearing/testbearing.h"
#include "platform/captionwidgets.h"

#include <QLabel>

using namespace station;

void Form_STATION::MSComm1_OnComm()
{
    bearing::SentenceFramer framer(m_state.DF_ARRIVING, m_state.DF_BUFFER);
    const QString received = m_comm.input();
    for (const QChar c : received) {
        if (!framer.take(c))
            continue;

        m_dfStatus->setText(kDfDetected);
        // In test mode a sentence only shows that the DF unit is alive.
        if (m_test->tag() != kOn) {
            // A field too large for a bearing is activity all the same, but draws nothing.
            if (const auto degrees = bearing::calibratedBearing(m_state.DF_BUFFER, m_state.DF_CAL)) {
                m_state.DF_VALID = platform::kTrue;
                m_state.BEARING_DEGREES = *degrees;
                ENDPOINT();
                m_reportedBearing->setText(kBearingCaption + platform::numberText(*degrees));
            }
        }
        framer.reset();
        m_timerDf.restart();
    }
}

void Form_STATION::Timer_DF_Timer()
{
    bearing::SentenceFramer(m_state.DF_ARRIVING, m_state.DF_BUFFER).reset();
    m_dfStatus->setText(m_acquire->tag() == kOff ? kDfInputOff : kDfSilent);
    m_reportedBearing->setText(kNoBearing);
    m_timerDf.setEnabled(false);
    m_state.DF_VALID = platform::kFalse;
    m_state.END_LATITUDE = m_state.START_LATITUDE;
    m_state.END_LONGITUDE = m_state.START_LONGITUDE;
}

void Form_STATION::Timer_TEST_Timer()
{
    const bearing::TestBearing test = bearing::testBearing(m_clock().second());
    m_reportedBearing->setText(kBearingCaption + test.text);
    m_state.BEARING_DEGREES = test.degrees;
    // ENDPOINT before DF_VALID: the first tick after a withdrawn bearing leaves the line collapsed.
    ENDPOINT();
    m_state.DF_VALID = platform::kTrue;
    m_timerDf.restart();
}
