#pragma once
// What the options operations may reach of the station: its shared state, its model, the listening socket,
// the serial line, whether the line's device went away while DF input is on, and the DF input switch's
// action.

#include "stationstate.h"

namespace platform {
class SerialPort;
class TcpSocketSet;
}
namespace station {
class StationModel;
}

class StationInterface
{
public:
    virtual ~StationInterface() = default;

    virtual StationState& state() = 0;
    virtual station::StationModel& model() = 0;
    virtual platform::TcpSocketSet& httpServer() = 0;
    virtual platform::SerialPort& serialPort() = 0;
    // DF input is on, but the serial port was closed because its device failed or went away; the
    // station is trying to open it again.
    virtual bool serialLineLost() const = 0;
    // Whether a port that fails leaves DF input on (a station without an operator to switch it on
    // again keeps trying the port instead).
    virtual bool keepsDfInputOn() const = 0;
    virtual void CmdButton_ACQUIRE_Click() = 0;
};
