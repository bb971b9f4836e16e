#pragma once
// A stand-in for the station window: real socket set and serial line, a recorded site caption and a
// DF input switch that only flips its tag and closes the port, as the real one does.

#include "platform/serialport.h"
#include "platform/tcpsocketset.h"
#include "station/stationinterface.h"

class FakeStation : public StationInterface
{
public:
    StationState& state() override { return m_state; }
    void setSiteCaption(const QString& caption) override { siteCaption = caption; }
    platform::TcpSocketSet& httpServer() override { return server; }
    platform::SerialPort& serialPort() override { return serial; }
    QString acquireTag() const override { return acquire; }
    void CmdButton_ACQUIRE_Click() override
    {
        ++acquireClicks;
        if (acquire == u"ON") {
            acquire = QStringLiteral("OFF");
            if (serial.portOpen())
                (void)serial.setPortOpen(false);
        } else {
            acquire = QStringLiteral("ON");
        }
    }
    void ENDPOINT() override {}

    StationState m_state;
    QString siteCaption;
    platform::TcpSocketSet server;
    platform::SerialPort serial;
    QString acquire = QStringLiteral("OFF");
    int acquireClicks = 0;
};
