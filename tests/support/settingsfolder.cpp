#include "settingsfolder.h"

#include "core/station/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>

namespace testsupport {

SettingsFolder::SettingsFolder()
{
    m_hadValue = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    m_oldValue = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path()));
    QDir().mkpath(folder());
}

SettingsFolder::~SettingsFolder()
{
    if (m_hadValue)
        qputenv("XDG_CONFIG_HOME", m_oldValue);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

QString SettingsFolder::folder() const
{
    return m_dir.path() + QStringLiteral("/Tarnvale");
}

QString SettingsFolder::settingsFile() const
{
    return folder() + QStringLiteral("/Tarnvale_Demo.ini");
}

void SettingsFolder::writeLines(const QStringList& lines) const
{
    QFile file(settingsFile());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    for (const QString& line : lines)
        file.write(line.toLatin1() + "\r\n");
}

QStringList SettingsFolder::readLines() const
{
    QFile file(settingsFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString content = QString::fromLatin1(file.readAll());
    if (content.endsWith(QStringLiteral("\r\n")))
        content.chop(2);
    return content.split(QStringLiteral("\r\n"));
}

QStringList settingsLinesFor(quint16 port, int commPort)
{
    QStringList lines = station::defaultSettingsLines();
    lines[0] = QStringLiteral(" %1 ").arg(commPort);
    const QString digits = QStringLiteral("%1").arg(port, 5, 10, QLatin1Char('0'));
    for (int i = 0; i < 5; ++i)
        lines[1 + i] = QStringLiteral(" %1 ").arg(digits[i]);
    return lines;
}

} // namespace testsupport
