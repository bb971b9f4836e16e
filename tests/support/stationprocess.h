#pragma once
// The real station program as an operator runs it headless: offscreen, with its own per-user
// configuration folder, stopped by SIGTERM as a service manager stops it.

#include <QProcess>
#include <QString>

namespace testsupport {

class StationProcess
{
public:
    // Starts `executable` with XDG_CONFIG_HOME set to `configHome`.
    StationProcess(const QString& executable, const QString& configHome);
    ~StationProcess(); // kills a station still running, so a failed test leaves nothing behind
    StationProcess(const StationProcess&) = delete;
    StationProcess& operator=(const StationProcess&) = delete;

    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }

    // SIGTERM, then the exit status (-1 when it crashed or did not end within timeoutMs).
    int terminate(int timeoutMs = 10000);

private:
    QProcess m_process;
};

// Asks the station on `port` for its map until it answers "HTTP/1.0 200 OK"; false when the time ran out.
bool waitUntilServing(quint16 port, int timeoutMs = 10000);

} // namespace testsupport
