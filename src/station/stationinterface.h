#pragma once
// What the options window may reach of the station: its shared state, the controls it drives (the
// website port caption, the listening socket, the serial line, the DF input switch) and the two
// public operations. The station window implements it; tests may stand in for it.

#include "stationstate.h"

#include <QString>

namespace platform {
class SerialPort;
class TcpSocketSet;
}

class StationInterface
{
public:
    virtual ~StationInterface() = default;

    virtual StationState& state() = 0;

    // Caption of Label_SITE ("WEBSITE PORT : " and the port text).
    virtual void setSiteCaption(const QString& caption) = 0;

    virtual platform::TcpSocketSet& httpServer() = 0;
    virtual platform::SerialPort& serialPort() = 0;

    // Tag of CmdButton_ACQUIRE: "ON" while DF input is switched on.
    virtual QString acquireTag() const = 0;

    virtual void CmdButton_ACQUIRE_Click() = 0;
    virtual void ENDPOINT() = 0;
};
