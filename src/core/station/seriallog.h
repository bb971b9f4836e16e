#pragma once
// The DF unit's serial line in the event log: one line when the station starts reading a port, stops,
// loses the device, has it back, or fails to open it. What happens within one event is told once, after
// it: a press that only tries a port (opened and closed again) says nothing unless the port failed, and
// a failure repeated (the start-up trying the port twice) is told once until something else happens.
// Tries to open a lost device again say nothing until one succeeds.

#include <QObject>
#include <QString>

namespace platform {
class SerialPort;
}

namespace station {

class SerialLog : public QObject
{
    Q_OBJECT

public:
    explicit SerialLog(platform::SerialPort& port, QObject* parent = nullptr);

    // Tells what the current event did now rather than after it: the station's last words come last.
    void flush();

private:
    void note();
    void tell();
    QString portName() const;

    platform::SerialPort& m_port;
    bool m_pending = false;
    bool m_wasOpen = false;
    int m_openPort = 0;
    QString m_failure;      // the failure noted in the current event
    QString m_lastFailure;  // the failure told last, until something else is told
    QString m_loss;         // the device went away in the current event
    int m_lostPort = 0;     // the port whose device went away, until it is open again
};

} // namespace station
