#include "simulatorprocess.h"

#include "support/waitfor.h"

#include <QFile>

namespace e2e {

SimulatorProcess::SimulatorProcess(const QString& folder, int portNumber, const QStringList& arguments)
{
    const QString link = folder + QStringLiteral("/COM%1").arg(portNumber);
    m_process.start(QStringLiteral(TARNVALE_DF_SIMULATOR),
                    QStringList(arguments) << QStringLiteral("--port") << QString::number(portNumber)
                                           << QStringLiteral("--link-folder") << folder);
    // Its own report, not the link's presence: a link left by an earlier, killed run may still be there.
    const QByteArray report = "Linked as: " + QFile::encodeName(link) + '\n';
    QByteArray out;
    m_linked = testsupport::waitFor([&] {
        out += m_process.readAllStandardOutput();
        return out.contains(report) || m_process.state() == QProcess::NotRunning;
    }, 5000) && isRunning() && out.contains(report);
}

SimulatorProcess::~SimulatorProcess()
{
    if (isRunning()) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

void SimulatorProcess::feed(const QByteArray& lines)
{
    m_process.write(lines);
}

int SimulatorProcess::stop()
{
    if (!isRunning())
        return -1;
    m_process.terminate();
    if (!testsupport::waitFor([this] { return !isRunning(); }, 5000))
        return -1;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

} // namespace e2e
