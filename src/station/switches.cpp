// The operator's three switches on the station window.
#include "stationwindow.h"

#include "captions.h"

#include "options/optionswindow.h"
#include "platform/captionwidgets.h"
#include "platform/messagebox.h"

#include <QLabel>

using namespace station;

void Form_STATION::showComPortMessage()
{
    platform::MessageBoxes::instance().show(
        this, QStringLiteral("Invalid COM port selected"),
        platform::joinedMessage(QStringLiteral("WARNING ! Chosen COM port is not available"),
                                QStringLiteral("Select a different COM port on OPTIONS screen")));
}

void Form_STATION::CmdButton_ACQUIRE_Click()
{
    // Off: the watchdog stops, the bearing is withdrawn and the line collapses onto the station.
    const auto switchOff = [this] {
        m_acquire->setTag(kOff);
        m_acquire->setText(kAcquireOffCaption);
        m_timerDf.setEnabled(false);
        m_state.DF_VALID = platform::kFalse;
        m_dfStatus->setText(kDfInputOff);
    };
    const auto collapseLine = [this] {
        m_state.END_LATITUDE = m_state.START_LATITUDE;
        m_state.END_LONGITUDE = m_state.START_LONGITUDE;
    };

    if (m_acquire->tag() == kOff) {
        m_acquire->setTag(kOn);
        m_acquire->setText(kAcquireOnCaption);
        m_timerDf.setEnabled(true);
        m_dfStatus->setText(kDfSilent);
        m_state.DF_ARRIVING = platform::kFalse;
        m_state.DF_BUFFER.clear();
        if (m_comm.portOpen() || m_comm.setPortOpen(true))
            return;
        showComPortMessage();
        switchOff();
        collapseLine();
        return;
    }

    switchOff();
    if (m_comm.portOpen())
        (void)m_comm.setPortOpen(false);
    collapseLine();
}

void Form_STATION::CmdButton_TEST_Click()
{
    if (m_test->tag() == kOff) {
        m_test->setTag(kOn);
        m_test->setText(kTestOnCaption);
        m_testStatus->setText(QStringLiteral("TEST : ON"));
        m_dfStatus->hide();
        m_timerTest.setEnabled(true);
        return;
    }
    m_test->setTag(kOff);
    m_test->setText(kTestOffCaption);
    m_testStatus->clear();
    m_dfStatus->show();
    m_timerTest.setEnabled(false);
    m_reportedBearing->setText(kNoBearing);
    m_state.END_LATITUDE = m_state.START_LATITUDE;
    m_state.END_LONGITUDE = m_state.START_LONGITUDE;
}

void Form_STATION::CmdButton_OPTIONS_Click()
{
    Form_OPTIONS& window = options();
    window.show();
    window.raise();
    window.activateWindow();
}
