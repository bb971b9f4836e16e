#include "stationprocess.h"

#include "loopback.h"
#include "waitfor.h"

#include <QProcessEnvironment>

namespace testsupport {

StationProcess::StationProcess(const QString& executable, const QString& configHome)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("/tmp/tarnvale-test-runtime"));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(executable, {});
}

StationProcess::~StationProcess()
{
    if (isRunning()) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

int StationProcess::terminate(int timeoutMs)
{
    if (!isRunning())
        return -1;
    m_process.terminate(); // SIGTERM
    if (!waitFor([this] { return !isRunning(); }, timeoutMs))
        return -1;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

bool waitUntilServing(quint16 port, int timeoutMs)
{
    return waitFor([port] {
        if (fetch(port, "GET / HTTP/1.0\r\n\r\n", 3000).startsWith("HTTP/1.0 200 OK"))
            return true;
        spin(20); // refused: the station is not listening yet
        return false;
    }, timeoutMs);
}

} // namespace testsupport
