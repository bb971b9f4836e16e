#pragma once
// The DF unit simulator run as its own process, its pseudo-terminal linked as COMn in the station's
// settings folder, so the station reads it exactly as it reads a DF unit on a serial port.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace testsupport {

class SimulatorProcess
{
public:
    // Starts `program` with `arguments` plus --port and --link-folder, and waits until it reports the
    // link (or has ended).
    SimulatorProcess(const QString& program, const QString& folder, int portNumber, const QStringList& arguments);
    ~SimulatorProcess(); // kills a simulator still running
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    bool linked() const { return m_linked; }
    QString link() const { return m_link; }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    QString errors() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }

    // Bearing lines for a simulator reading "--file -".
    void feed(const QByteArray& lines);

    // SIGTERM, then the exit status (-1 when it crashed or did not end in time).
    int stop();
    // Waits for it to end by itself, then the exit status (-1 as for stop()).
    int finish(int timeoutMs = 5000);

private:
    QProcess m_process;
    QString m_link;
    bool m_linked = false;
};

} // namespace testsupport
