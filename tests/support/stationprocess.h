#pragma once
// The real station program as an operator runs it without a screen, with its own per-user
// configuration folder, stopped by SIGTERM as a service manager stops it: with --headless among its
// arguments as a service, with neither DISPLAY nor QT_QPA_PLATFORM set; otherwise windowed, offscreen.
// Its process id is at hand for other signals and for reading its CPU time; its standard error is kept
// and also passed on.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

namespace testsupport {

class StationProcess
{
public:
    // Starts `executable` with XDG_CONFIG_HOME set to `configHome`; `inChild`, when given, runs in the
    // new process just before the program (only async-signal-safe calls there, such as setrlimit).
    StationProcess(const QString& executable, const QString& configHome, const QStringList& arguments = {},
                   std::function<void()> inChild = {});
    ~StationProcess(); // kills a station still running, so a failed test leaves nothing behind
    StationProcess(const StationProcess&) = delete;
    StationProcess& operator=(const StationProcess&) = delete;

    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    qint64 pid() const { return m_process.processId(); }
    void signal(int signalNumber) const;

    // Waits for the exit; the exit status, or -1 when it crashed, was killed or did not end in time.
    int waitForExit(int timeoutMs = 10000);
    // SIGTERM, then the exit status as waitForExit gives it; -1 when it was not running.
    int terminate(int timeoutMs = 10000);

    // Everything the station wrote to standard error so far.
    QByteArray standardError();

    // CPU time (user and system) the process has used so far, in milliseconds; -1 when unknown.
    qint64 cpuMilliseconds() const;
    // Resident memory now, in KiB; -1 when unknown.
    qint64 residentKiB() const;
    // Whether a library whose file name contains `name` is mapped into the process.
    bool hasLoaded(const QString& name) const;

private:
    void takeStandardError();

    QByteArray m_stderr; // before the process, which may still hand over output as it goes
    QProcess m_process;
};

// Asks the station on `port` for its map until it answers "HTTP/1.0 200 OK"; false when the time ran
// out. The time allows for a start under the sanitizers.
bool waitUntilServing(quint16 port, int timeoutMs = 15000);

} // namespace testsupport
