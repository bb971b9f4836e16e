#include "serialport.h"

#include "paths.h"

#include <QFileInfo>
#include <QSerialPort>

namespace platform {

SerialPort::SerialPort(QObject* parent)
    : QObject(parent)
{
}

SerialPort::~SerialPort() = default;

bool SerialPort::setCommPort(int portNumber)
{
    if (portNumber < 1 || portNumber > 255) {
        m_error = QStringLiteral("Invalid port number %1").arg(portNumber);
        return false;
    }
    m_commPort = portNumber;
    return true;
}

bool SerialPort::portOpen() const
{
    return m_port && m_port->isOpen();
}

namespace {
QString describe(const QString& device)
{
    const QFileInfo info(device);
    return info.isSymLink() ? QStringLiteral("%1 -> %2").arg(device, info.symLinkTarget()) : device;
}
} // namespace

QString SerialPort::deviceDescription(int portNumber)
{
    return describe(serialDeviceFor(portNumber));
}

void SerialPort::release()
{
    if (!m_port)
        return;
    m_port->disconnect(this);
    m_port->close();
    m_port->deleteLater();
    m_port = nullptr;
}

bool SerialPort::setPortOpen(bool open)
{
    if (open) {
        if (portOpen())
            return true;
        m_chosenDevice = serialDeviceFor(m_commPort);
        m_chosenPort = m_commPort;
        return this->open(m_chosenDevice, false);
    }
    if (m_port) {
        release();
        emit closed();
    }
    return true;
}

bool SerialPort::reopen()
{
    if (portOpen())
        return true;
    return open(retryDevice(), true);
}

// A COMn link removed and made again for a new device (a simulator ending and another starting, an
// adapter's by-id name going and coming with it) must not meanwhile fall back to /dev/ttyS<n-1>: an
// unrelated port that would open and be read for good.
QString SerialPort::retryDevice()
{
    const QString named = serialDeviceFor(m_commPort);
    if (m_chosenPort != m_commPort || m_chosenDevice.isEmpty()) {
        m_chosenDevice = named;
        m_chosenPort = m_commPort;
    }
    // While the link exists, it is what serialDeviceFor names.
    return named != fallbackSerialDevice(m_commPort) ? named : m_chosenDevice;
}

bool SerialPort::open(const QString& device, bool quiet)
{
    m_triedDevice = device;
    auto* port = new QSerialPort(device, this);
    port->setReadBufferSize(1024);
    const bool configured = port->open(QIODevice::ReadOnly) && port->setBaudRate(4800)
        && port->setDataBits(QSerialPort::Data8) && port->setParity(QSerialPort::NoParity)
        && port->setStopBits(QSerialPort::OneStop) && port->setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        m_error = port->errorString();
        port->close();
        delete port;
        if (!quiet)
            emit openFailed();
        return false;
    }
    m_port = port;
    // A line lost from now on is retried by this name, even when the port was chosen without a link.
    m_chosenDevice = device;
    m_chosenPort = m_commPort;
    m_openedDevice = describe(device);
    connect(port, &QSerialPort::readyRead, this, &SerialPort::onComm);
    connect(port, &QSerialPort::errorOccurred, this, [this, port](QSerialPort::SerialPortError error) {
        // A device that went away reports errors in a tight loop until it is closed.
        if (error == QSerialPort::NoError || port != m_port)
            return;
        if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError
            || error == QSerialPort::PermissionError || error == QSerialPort::DeviceNotFoundError) {
            // Qt reports a vanished device as a resource error whose text is often a stale errno
            // ("Resource temporarily unavailable"), which reads as a passing hiccup.
            m_error = error == QSerialPort::ResourceError ? QStringLiteral("the device was removed or closed")
                                                          : port->errorString();
            release();
            emit lost();
            emit onComm();
        }
    });
    emit opened();
    return true;
}

QString SerialPort::input()
{
    if (!m_port)
        return {};
    return QString::fromLatin1(m_port->readAll());
}

} // namespace platform
