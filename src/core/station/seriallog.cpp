#include "seriallog.h"

#include "platform/eventlog.h"
#include "platform/serialport.h"

#include <QMetaObject>

namespace station {

SerialLog::SerialLog(platform::SerialPort& port, QObject* parent)
    : QObject(parent)
    , m_port(port)
{
    using platform::SerialPort;
    connect(&m_port, &SerialPort::opened, this, &SerialLog::note);
    connect(&m_port, &SerialPort::closed, this, &SerialLog::note);
    connect(&m_port, &SerialPort::openFailed, this, [this] {
        m_failure = QStringLiteral("%1 not available: %2: %3")
                        .arg(portName(), SerialPort::deviceDescription(m_port.commPort()), m_port.errorString());
        note();
    });
    connect(&m_port, &SerialPort::lost, this, [this] {
        m_loss = QStringLiteral("%1 lost: %2: %3").arg(portName(), m_port.openedDevice(), m_port.errorString());
        note();
    });
}

QString SerialLog::portName() const
{
    return QStringLiteral("Serial port COM%1").arg(m_port.commPort());
}

void SerialLog::note()
{
    if (m_pending)
        return;
    m_pending = true;
    QMetaObject::invokeMethod(this, &SerialLog::flush, Qt::QueuedConnection);
}

void SerialLog::flush()
{
    if (m_pending)
        tell();
}

void SerialLog::tell()
{
    m_pending = false;
    const bool open = m_port.portOpen();
    if (!m_loss.isEmpty()) {
        platform::logEvent(m_loss);
        m_lastFailure.clear();
        m_lostPort = m_openPort;
    }
    if (open && (!m_wasOpen || m_openPort != m_port.commPort())) {
        const bool back = m_lostPort == m_port.commPort();
        platform::logEvent(QStringLiteral("%1 %2: %3")
                               .arg(portName(), back ? QStringLiteral("back") : QStringLiteral("open"), m_port.openedDevice()));
        m_lastFailure.clear();
        m_lostPort = 0;
    } else if (!open && m_wasOpen && m_loss.isEmpty()) {
        platform::logEvent(QStringLiteral("Serial port COM%1 closed").arg(m_openPort));
        m_lastFailure.clear();
    }
    if (!m_failure.isEmpty() && m_failure != m_lastFailure) {
        platform::logEvent(m_failure);
        m_lastFailure = m_failure;
        m_lostPort = 0;
    }
    m_wasOpen = open;
    m_openPort = open ? m_port.commPort() : 0;
    m_failure.clear();
    m_loss.clear();
}

} // namespace station
