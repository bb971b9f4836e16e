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

QString SerialPort::deviceDescription(int portNumber)
{
    const QString device = serialDeviceFor(portNumber);
    const QFileInfo info(device);
    return info.isSymLink() ? QStringLiteral("%1 -> %2").arg(device, info.symLinkTarget()) : device;
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
    if (open)
        return this->open(false);
    if (m_port) {
        release();
        emit closed();
    }
    return true;
}

bool SerialPort::reopen()
{
    return open(true);
}

bool SerialPort::open(bool quiet)
{
    if (portOpen())
        return true;

    auto* port = new QSerialPort(serialDeviceFor(m_commPort), this);
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
    m_openedDevice = deviceDescription(m_commPort);
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
