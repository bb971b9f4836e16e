// Start-up from the settings file and the orderly shutdown that writes it back.
#include "stationcore.h"

#include "captions.h"
#include "digitcheckwarnings.h"
#include "settingsfile.h"
#include "staletemporaries.h"

#include "core/geo/kml.h"
#include "platform/eventlog.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/regularfile.h"
#include "core/web/channelpool.h"
#include "core/web/listening.h"

#include <QDir>

using namespace station;

namespace {

// Applies the settings file's lines to the digit fields, the hemispheres and the serial line.
class SettingsApplier : public SettingsTarget
{
public:
    SettingsApplier(Controls& controls, platform::SerialPort& comm, options::OptionsCore& options)
        : m_controls(controls)
        , m_comm(comm)
        , m_options(options)
    {
    }
    bool setCommPort(int portNumber) override { return m_comm.setCommPort(portNumber); }
    void setDigitTag(int field, const QString& tag) override { m_controls.setTag(digitFieldId(field), tag); }
    void toggleLatitudeHemisphere() override { m_options.CmdButton_LAT_HEMI_Click(); }
    void toggleLongitudeHemisphere() override { m_options.CmdButton_LONG_HEMI_Click(); }

private:
    Controls& m_controls;
    platform::SerialPort& m_comm;
    options::OptionsCore& m_options;
};

// One pass of the reading over the file as it is now; only a regular file is read.
ReadOutcome readPass(const QString& path, SettingsTarget& target, platform::SmallFile& file)
{
    file = platform::readSmallFile(path);
    if (file.status == platform::SmallFile::Status::NotRegular)
        return ReadOutcome::NotRegular;
    return file.status == platform::SmallFile::Status::Read ? applySettings(file.content, target) : ReadOutcome::Missing;
}

} // namespace

bool StationCore::Form_Load()
{
    m_loading = true;
    const bool started = startUp();
    m_loading = false;
    // A signal during the start-up (while a message waited) closes the station once it is done.
    if (started && m_closePending)
        shutDown();
    return started;
}

bool StationCore::startUp()
{
    m_kmlTemplate = geo::buildKmlTemplate();
    m_state.BEARING_DEGREES = 0;
    m_state.DF_VALID = false;

    if (!loadSettings())
        return false;

    m_controls.setCaption(ControlId::Form_STATION, kStationTitle);

    for (int field = 0; field < options::kDigitFieldCount; ++field) {
        const QString tag = m_controls.tag(digitFieldId(field));
        if (const QString warning = digitCheckWarning(field, tag); !warning.isEmpty())
            platform::logEvent(warning);
        m_controls.setCaptionAndTag(digitFieldId(field), checkedDigit(field, tag));
    }

    m_options.POSITION();
    if (const QString warning = longitudeWarning(m_options.tags(options::kLongitudeFields),
                                                 m_controls.tag(ControlId::CmdButton_LONG_HEMI), m_state.START_LONGITUDE);
        !warning.isEmpty())
        platform::logEvent(warning);
    m_state.collapseLine();
    ENDPOINT();

    m_state.DF_CAL = static_cast<qint16>(platform::readNumber(m_options.tags(options::kCalibrationFields).join(QString())));

    // One press of the COM port button advances the port, so start one below the stored port.
    const int stored = m_comm.commPort();
    (void)m_comm.setCommPort(stored - 1 == 0 ? 8 : stored - 1);
    m_options.CmdButton_COMM_PORT_Click();

    m_timerDf.setEnabled(true);
    m_controls.setCaption(ControlId::Label_DF_STATUS, kDfSilent);

    m_state.MAX_HTTP_CHANNELS = 50;
    m_state.receiver().reset();

    const QString portText = m_options.tags(options::kWebsitePortFields).join(QString());
    m_controls.setCaption(ControlId::Label_SITE, kSiteCaption + portText);
    m_state.WEBSITE_PORT = static_cast<qint32>(platform::readNumber(portText));

    if (!web::listenForMaps(m_httpServer, m_state.WEBSITE_PORT)) {
        m_messages.show(kNetworkPortTitle, platform::joinedMessage(kNetworkPortWarning, kNetworkPortInstruction));
        if (m_headless) {
            // Nobody can choose another port here: the run ends, and a supervisor starts it again.
            m_settingsLoaded = false;
            m_exitStatus = kExitWebsitePortUnusable;
            return false;
        }
        return true;
    }

    if (!m_comm.portOpen() && !m_comm.setPortOpen(true)) {
        showComPortMessage();
        // Nobody can switch DF input on later: the port is tried until its device appears.
        if (m_headless)
            m_timerReopen.setEnabled(true);
    }
    return true;
}

bool StationCore::loadSettings()
{
    const QString path = platform::settingsFilePath();
    SettingsApplier target(m_controls, m_comm, m_options);
    platform::SmallFile file;
    ReadOutcome outcome = readPass(path, target, file);
    if (outcome == ReadOutcome::NotRegular) {
        // No damaged file: what the operator put there (a FIFO, a device, a folder) is not replaced,
        // and nothing else is touched either.
        settingsUnavailable(path, file.problem);
        return false;
    }
    if (platform::createsSettingsFolder())
        QDir().mkpath(platform::settingsFolder());
    removeStaleTemporaries(path);
    QString note;
    if (outcome != ReadOutcome::Applied) {
        // A missing or damaged file is replaced whole by the default file, which is then read.
        note = outcome == ReadOutcome::Missing ? QStringLiteral(" (missing: written with the defaults)")
                                               : QStringLiteral(" (damaged: replaced by the defaults)");
        if (writeSettingsLines(path, defaultSettingsLines()))
            outcome = readPass(path, target, file);
    }
    if (outcome != ReadOutcome::Applied) {
        settingsUnavailable(path, outcome == ReadOutcome::NotRegular ? file.problem : QString());
        return false;
    }
    platform::logEvent(QStringLiteral("Settings file %1").arg(QDir::toNativeSeparators(path)) + note);
    m_settingsAsRead = file.content;
    m_settingsLoaded = true;
    return true;
}

// The settings-file-not-available message; what stands at the path, when known, follows its two
// sentences as a part of its own.
void StationCore::settingsUnavailable(const QString& path, const QString& problem)
{
    QString text = platform::joinedMessage(settingsUnavailableWarning(QDir::toNativeSeparators(path)),
                                           settingsUnavailableInstruction(QDir::toNativeSeparators(platform::settingsFolder())));
    if (!problem.isEmpty())
        text = platform::joinedMessage(text, problem);
    m_messages.show(kSettingsUnavailableTitle, text);
    m_exitStatus = kExitSettingsUnavailable;
}

void StationCore::shutDown()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    if (m_settingsLoaded)
        saveSettings();
    m_controls.setVisible(ControlId::Form_OPTIONS, false);
    // The station stops: no more connections, nothing more drawn or tried, and the answers already
    // under way get a moment to finish before everything ends with the station.
    m_httpServer.close(0);
    emit acceptingStopped();
    m_timerDf.setEnabled(false);
    m_timerTest.setEnabled(false);
    m_timerReopen.setEnabled(false);
    (void)m_comm.setPortOpen(false);
    m_serialLog.flush();
    m_channels->finishAnswers(kFinishAnswersMs);
    platform::logEvent(QStringLiteral("Station closed"));
    emit closed();
}

// Only someone editing the file changes it while a headless station runs: their edit wins. A file
// that has gone holds no edit, and is written anew. One that cannot be read now may hold an edit all
// the same: it is not overwritten blindly. (A path that now leads to no regular file is refused by the
// write, which says so.)
bool StationCore::leavesSettingsFileAlone() const
{
    const QString path = platform::settingsFilePath();
    const platform::SmallFile now = platform::readSmallFile(path);
    if (now.status == platform::SmallFile::Status::Unreadable) {
        platform::logEvent(QStringLiteral("Settings file %1 cannot be read (%2): left as it is")
                               .arg(QDir::toNativeSeparators(path), now.problem));
        return true;
    }
    if (now.status == platform::SmallFile::Status::Read && now.content != m_settingsAsRead) {
        platform::logEvent(QStringLiteral("Settings file %1 changed since the start: left as it is")
                               .arg(QDir::toNativeSeparators(path)));
        return true;
    }
    return false;
}

void StationCore::saveSettings()
{
    const QString path = platform::settingsFilePath();
    if (m_headless && leavesSettingsFileAlone())
        return;
    QStringList tags = m_options.tags({0, options::kDigitFieldCount});
    tags << m_controls.tag(ControlId::CmdButton_LAT_HEMI) << m_controls.tag(ControlId::CmdButton_LONG_HEMI);
    QString reason;
    if (writeSettingsLines(path, settingsLines(m_comm.commPort(), tags), &reason)) {
        platform::logEvent(QStringLiteral("Settings written to %1").arg(QDir::toNativeSeparators(path)));
        return;
    }
    m_exitStatus = kExitSettingsUnavailable;
    const QString text = platform::joinedMessage(settingsNotSavedWarning(QDir::toNativeSeparators(path)), reason);
    if (m_closingOnSignal) {
        // Nobody may be watching: say it where the log goes, without waiting for an answer.
        platform::logEvent(platform::messageLine(kSettingsNotSavedTitle, text));
        return;
    }
    m_messages.show(kSettingsNotSavedTitle, text);
}
