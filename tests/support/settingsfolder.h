#pragma once
// A temporary per-user configuration folder for one test: XDG_CONFIG_HOME points into it while the
// object lives, so the station's settings file and COMn links land there.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

class SettingsFolder
{
public:
    SettingsFolder();
    ~SettingsFolder();

    // The station's "Tarnvale" folder inside it (created).
    QString folder() const;
    QString settingsFile() const;

    // Writes the settings file from lines, each ended by CR LF.
    void writeLines(const QStringList& lines) const;
    QStringList readLines() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldValue;
    bool m_hadValue = false;
};

// The default settings lines with the website port `port` and the serial port `commPort`, in the
// number form the default file has.
QStringList settingsLinesFor(quint16 port, int commPort = 1);

} // namespace testsupport
