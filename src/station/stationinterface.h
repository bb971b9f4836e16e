#pragma once
// What the options operations may reach of the station: its shared state, the controls the windows
// show (the options window's own, the website port caption, the DF input switch), the listening socket,
// the serial line and the DF input switch's action.

#include "stationstate.h"

namespace platform {
class SerialPort;
class TcpSocketSet;
}
namespace station {
class Controls;
}

class StationInterface
{
public:
    virtual ~StationInterface() = default;

    virtual StationState& state() = 0;
    virtual station::Controls& controls() = 0;
    virtual platform::TcpSocketSet& httpServer() = 0;
    virtual platform::SerialPort& serialPort() = 0;
    virtual void CmdButton_ACQUIRE_Click() = 0;
};
