#include "stationprocess.h"

#include "loopback.h"

#include <QFile>
#include <QProcessEnvironment>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace testsupport {

StationProcess::StationProcess(const QString& executable, const QString& configHome, const QStringList& arguments,
                               std::function<void()> inChild)
{
    if (inChild)
        m_process.setChildProcessModifier(inChild);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    if (arguments.contains(QStringLiteral("--headless"))) {
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    } else {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("/tmp/tarnvale-test-runtime"));
    m_process.setProcessEnvironment(env);
    // Kept for the tests that read it, and passed on so that a failing test shows what the station said.
    QObject::connect(&m_process, &QProcess::readyReadStandardError, [this] { takeStandardError(); });
    m_process.start(executable, arguments);
    m_process.waitForStarted(5000); // a signal right after the start needs the process id
}

StationProcess::~StationProcess()
{
    if (isRunning()) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void StationProcess::signal(int signalNumber) const
{
    if (pid() > 0)
        ::kill(static_cast<pid_t>(pid()), signalNumber);
}

int StationProcess::waitForExit(int timeoutMs)
{
    if (!QTest::qWaitFor([this] { return !isRunning(); }, timeoutMs))
        return -1;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

int StationProcess::terminate(int timeoutMs)
{
    if (!isRunning())
        return -1;
    signal(SIGTERM);
    return waitForExit(timeoutMs);
}

QByteArray StationProcess::standardError()
{
    takeStandardError();
    return m_stderr;
}

void StationProcess::takeStandardError()
{
    const QByteArray bytes = m_process.readAllStandardError();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
    m_stderr += bytes;
}

qint64 StationProcess::cpuMilliseconds() const
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid()));
    if (pid() <= 0 || !stat.open(QIODevice::ReadOnly))
        return -1;
    // Fields after the command name, which is in parentheses and may hold blanks: state is the
    // first, utime the 12th and stime the 13th.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const qint64 ticks = fields[11].toLongLong() + fields[12].toLongLong();
    return ticks * 1000 / sysconf(_SC_CLK_TCK);
}

qint64 StationProcess::residentKiB() const
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid()));
    if (pid() <= 0 || !status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').constFirst().toLongLong();
    }
    return -1;
}

bool StationProcess::hasLoaded(const QString& name) const
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid()));
    return pid() > 0 && maps.open(QIODevice::ReadOnly) && maps.readAll().contains(name.toLocal8Bit());
}

bool waitUntilServing(quint16 port, int timeoutMs)
{
    return QTest::qWaitFor([port] {
        if (fetch(port, "GET / HTTP/1.0\r\n\r\n", 3000).startsWith("HTTP/1.0 200 OK"))
            return true;
        QTest::qWait(20); // refused: the station is not listening yet
        return false;
    }, timeoutMs);
}

} // namespace testsupport
