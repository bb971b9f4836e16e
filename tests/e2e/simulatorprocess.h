#pragma once
// The DF unit simulator run as its own process, its pseudo-terminal linked as COMn in the station's
// settings folder, so the station reads it exactly as it reads a DF unit on a serial port.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace e2e {

class SimulatorProcess
{
public:
    // Starts the simulator with `arguments` plus --port and --link-folder, and waits until the link is
    // there (or the simulator has ended).
    SimulatorProcess(const QString& folder, int portNumber, const QStringList& arguments);
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    bool linked() const { return m_linked; }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    QString errors() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }

    // Bearing lines for a simulator reading "--file -".
    void feed(const QByteArray& lines);

    // SIGTERM, then the exit status (-1 when it crashed or did not end in time).
    int stop();

private:
    QProcess m_process;
    bool m_linked = false;
};

} // namespace e2e
