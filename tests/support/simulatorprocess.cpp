#include "simulatorprocess.h"


#include <QFile>
#include <QTest>

namespace testsupport {

SimulatorProcess::SimulatorProcess(const QString& program, const QString& folder, int portNumber,
                                   const QStringList& arguments)
    : m_link(folder + QStringLiteral("/COM%1").arg(portNumber))
{
    m_process.start(program, QStringList(arguments) << QStringLiteral("--port") << QString::number(portNumber)
                                                    << QStringLiteral("--link-folder") << folder);
    // Its own report, not the link's presence: a link left by an earlier, killed run may still be there.
    const QByteArray report = "Linked as: " + QFile::encodeName(m_link) + '\n';
    QByteArray out;
    m_linked = QTest::qWaitFor([&] {
        out += m_process.readAllStandardOutput();
        return out.contains(report) || m_process.state() == QProcess::NotRunning;
    }, 5000) && out.contains(report);
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
    return finish();
}

int SimulatorProcess::finish(int timeoutMs)
{
    if (!QTest::qWaitFor([this] { return !isRunning(); }, timeoutMs))
        return -1;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

} // namespace testsupport
