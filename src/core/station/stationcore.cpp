#include "stationcore.h"

#include "texts.h"

#include "core/geo/endpoint.h"
#include "core/geo/kml.h"
#include "platform/eventlog.h"
#include "platform/messages.h"
#include "platform/shutdownsignals.h"
#include "core/web/channelpool.h"

#include <QTimer>

StationCore::StationCore(platform::Messages& messages, QObject* parent)
    : QObject(parent)
    , m_messages(messages)
{
    m_timerDf.setInterval(1000);
    m_timerTest.setInterval(200);
    m_timerLinkStat.setInterval(250);
    m_timerLinkStat.setEnabled(true);
    m_timerReopen.setInterval(1000);

    m_channels = std::make_unique<web::ChannelPool>(m_httpServer, m_sendTimers, [this] { return currentDocument(); });

    connect(&m_comm, &platform::SerialPort::onComm, this, &StationCore::MSComm1_OnComm);
    connect(&m_timerDf, &platform::Timer::fired, this, &StationCore::Timer_DF_Timer);
    connect(&m_timerTest, &platform::Timer::fired, this, &StationCore::Timer_TEST_Timer);
    connect(&m_timerLinkStat, &platform::Timer::fired, this, &StationCore::Timer_LINK_STAT_Timer);
    connect(&m_timerReopen, &platform::Timer::fired, this, &StationCore::reopenSerialLine);
    connect(&m_comm, &platform::SerialPort::lost, this, &StationCore::serialLineGone);
    // Whatever opened the port (a retry, the COM port selector), there is nothing left to retry.
    connect(&m_comm, &platform::SerialPort::opened, this, [this] { m_timerReopen.setEnabled(false); });
    connect(&m_model, &station::StationModel::dfStatusChanged, this, &StationCore::logDfStatus);
    connect(&m_model, &station::StationModel::bearingDrawn, this, &StationCore::bearingDrawn);
    using station::SerialLine;
    connect(&m_comm, &platform::SerialPort::opened, &m_model, [this] { m_model.setSerialLine(SerialLine::Open); });
    connect(&m_comm, &platform::SerialPort::openFailed, &m_model, [this] { m_model.setSerialLine(SerialLine::Failed); });
    connect(&m_comm, &platform::SerialPort::closed, &m_model, [this] { m_model.setSerialLine(SerialLine::Closed); });
    connect(&m_comm, &platform::SerialPort::lost, &m_model, [this] { m_model.setSerialLine(SerialLine::Lost); });
}

StationCore::~StationCore() = default;

void StationCore::ENDPOINT()
{
    const geo::EndPoint end = geo::bearingLineEnd(m_state.START_LATITUDE, m_state.START_LONGITUDE,
                                                  m_state.BEARING_DEGREES, m_state.DF_VALID);
    m_state.END_LATITUDE = end.latitude;
    m_state.END_LONGITUDE = end.longitude;
    m_model.setLine(m_state.line());
}

void StationCore::collapseLine()
{
    m_state.collapseLine();
    m_model.setLine(m_state.line());
}

// DF_VALID and the DF state the model announces change together.
void StationCore::setDfValid(bool valid)
{
    m_state.DF_VALID = valid;
    m_model.setBearingValid(valid);
}

QString StationCore::currentDocument() const
{
    return geo::fillKml(m_kmlTemplate, m_state.START_LONGITUDE, m_state.START_LATITUDE, m_state.END_LONGITUDE,
                        m_state.END_LATITUDE);
}

void StationCore::Timer_LINK_STAT_Timer()
{
    m_model.setServerState(m_httpServer.state(0));
}

// The DF unit coming and going is worth a line; each sentence is not (the status changes only then).
void StationCore::logDfStatus(station::DfStatus status)
{
    platform::logEvent(QStringLiteral("DF status: ") + station::dfStatusText(status));
}

void StationCore::shutDownOnSignal(int signalNumber)
{
    platform::logEvent(QStringLiteral("Shutting down on %1").arg(platform::signalName(signalNumber)));
    m_messages.answerAll();
    // Let an answered message return first, then close as the operator would.
    QTimer::singleShot(0, this, [this] {
        m_closingOnSignal = true;
        if (m_loading)
            m_closePending = true;
        else
            shutDown();
    });
}
