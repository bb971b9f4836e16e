// The operator's three switches on the station window. They only set the model; the window shows it.
#include "stationcore.h"

#include "texts.h"

#include "platform/eventlog.h"
#include "platform/messages.h"
#include "platform/paths.h"

#include <QDir>

using namespace station;

void StationCore::showComPortMessage()
{
    m_messages.show(kComPortTitle, platform::joinedMessage(kComPortWarning, kComPortInstruction));
    if (m_headless) {
        platform::logEvent(headlessComPortHint(m_comm.commPort(), QDir::toNativeSeparators(platform::settingsFolder()),
                                               QDir::toNativeSeparators(platform::settingsFilePath())));
    }
}

void StationCore::CmdButton_ACQUIRE_Click()
{
    // Off: the watchdog stops, the bearing is withdrawn and the line collapses onto the station.
    const auto switchOff = [this] {
        m_model.setDfInput(false);
        m_timerDf.setEnabled(false);
        setDfValid(false);
        m_model.setDfStatus(DfStatus::InputOff);
    };

    if (!m_model.dfInput()) {
        m_model.setDfInput(true);
        m_timerDf.setEnabled(true);
        m_model.setDfStatus(DfStatus::Silent);
        m_state.receiver().reset();
        if (m_comm.portOpen() || m_comm.setPortOpen(true))
            return;
        showComPortMessage();
        switchOff();
        collapseLine();
        return;
    }

    switchOff();
    m_timerReopen.setEnabled(false); // a lost line is not tried again
    if (m_comm.portOpen())
        (void)m_comm.setPortOpen(false);
    collapseLine();
}

void StationCore::CmdButton_TEST_Click()
{
    if (!m_model.testMode()) {
        m_model.setTestMode(true);
        m_timerTest.setEnabled(true);
        return;
    }
    m_model.setTestMode(false);
    m_timerTest.setEnabled(false);
    m_model.setReportedBearing(std::nullopt);
    collapseLine();
}

void StationCore::CmdButton_OPTIONS_Click()
{
    m_model.openOptions();
}
