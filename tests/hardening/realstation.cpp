#include "realstation.h"

#include "station/settingsfile.h"
#include "support/loopback.h"
#include "support/waitfor.h"

#include <QFile>
#include <QProcessEnvironment>
#include <QTcpSocket>

#include <csignal>
#include <unistd.h>

namespace hardening {

RealStation::RealStation(const QString& configHome)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("/tmp/tarnvale-test-runtime"));
    m_process.setProcessEnvironment(env);
    m_process.start(QStringLiteral(TARNVALE_EXECUTABLE), {});
    m_process.waitForStarted(5000);
}

RealStation::~RealStation()
{
    if (isRunning()) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void RealStation::signal(int signalNumber) const
{
    if (pid() > 0)
        ::kill(static_cast<pid_t>(pid()), signalNumber);
}

int RealStation::waitForExit(int timeoutMs)
{
    if (isRunning() && !m_process.waitForFinished(timeoutMs))
        return -1;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QByteArray RealStation::standardError()
{
    m_stderr += m_process.readAllStandardError();
    return m_stderr;
}

qint64 RealStation::cpuMilliseconds() const
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

QStringList settingsFor(quint16 port, int commPort)
{
    QStringList lines = station::defaultSettingsLines();
    lines[0] = QStringLiteral(" %1 ").arg(commPort);
    const QString digits = QStringLiteral("%1").arg(port, 5, 10, QLatin1Char('0'));
    for (int i = 0; i < 5; ++i)
        lines[1 + i] = QStringLiteral(" %1 ").arg(digits[i]);
    return lines;
}

bool waitUntilServing(quint16 port, int timeoutMs)
{
    return testsupport::waitFor([port] {
        // A refused connection is known at once; only then is a whole fetch worth its wait.
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (!probe.waitForConnected(500)) {
            testsupport::spin(20);
            return false;
        }
        probe.abort();
        return testsupport::fetch(port, "GET / HTTP/1.0\r\n\r\n", 3000).startsWith("HTTP/1.0 200 OK");
    }, timeoutMs);
}

quint16 freePortBelowNine()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        const quint16 port = testsupport::freePort();
        if (port % 10 != 9 && port < 65530)
            return port;
    }
    return 0;
}

} // namespace hardening
