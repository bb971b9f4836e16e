#pragma once
// The real station program for fault cases: started headless on a settings folder of its own, with
// its process id at hand for signals and for reading its CPU time, and its standard error kept.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace hardening {

class RealStation
{
public:
    // Starts the program with XDG_CONFIG_HOME set to `configHome`.
    explicit RealStation(const QString& configHome);
    ~RealStation(); // kills a station still running
    RealStation(const RealStation&) = delete;
    RealStation& operator=(const RealStation&) = delete;

    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    qint64 pid() const { return m_process.processId(); }
    void signal(int signalNumber) const;

    // Waits for the exit; the exit status, or -1 when it crashed, was killed or did not end in time.
    int waitForExit(int timeoutMs = 10000);
    QByteArray standardError();

    // CPU time (user and system) the process has used so far, in milliseconds; -1 when unknown.
    qint64 cpuMilliseconds() const;

private:
    QProcess m_process;
    QByteArray m_stderr;
};

// The default settings with the website port `port` and serial port `commPort`, in the file's forms.
QStringList settingsFor(quint16 port, int commPort = 1);

// Asks the station on `port` for its map until it answers with a document; false when time ran out.
bool waitUntilServing(quint16 port, int timeoutMs = 15000);

// A free loopback port whose units digit is below 9, so that one step up stays within the tens.
quint16 freePortBelowNine();

} // namespace hardening
