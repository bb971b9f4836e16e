// Start-up from the settings file and the orderly shutdown that writes it back.
#include "stationcore.h"

#include "texts.h"
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
    setDfValid(false);

    Settings read;
    if (!loadSettings(read))
        return false;

    for (int field = 0; field < options::kDigitFieldCount; ++field) {
        if (const QString warning = digitCheckWarning(field, read.digits[static_cast<size_t>(field)]); !warning.isEmpty())
            platform::logEvent(warning);
    }
    const Settings settings = read.checked();
    applySettings(settings);
    m_model.setStarted();

    m_options.POSITION();
    if (const QString warning = longitudeWarning(settings, m_state.START_LONGITUDE); !warning.isEmpty())
        platform::logEvent(warning);
    collapseLine();
    ENDPOINT();

    m_state.DF_CAL = static_cast<qint16>(settings.calibration());
    m_model.setCalibration(m_state.DF_CAL);

    // One press of the COM port button advances the port, so start one below the stored port.
    const int stored = m_comm.commPort();
    (void)m_comm.setCommPort(stored - 1 == 0 ? 8 : stored - 1);
    m_options.CmdButton_COMM_PORT_Click();

    m_timerDf.setEnabled(true);
    m_model.setDfStatus(DfStatus::Silent);

    m_state.MAX_HTTP_CHANNELS = 50;
    m_state.receiver().reset();

    m_state.WEBSITE_PORT = settings.websitePort();

    m_model.setWebsite(m_state.WEBSITE_PORT, web::listenForMaps(m_httpServer, m_state.WEBSITE_PORT));
    if (!m_model.websiteListening()) {
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

bool StationCore::loadSettings(Settings& settings)
{
    const QString path = platform::settingsFilePath();
    SettingsRead read = readSettings(path);
    if (read.outcome == ReadOutcome::NotRegular) {
        // No damaged file: what the operator put there (a FIFO, a device, a folder) is not replaced,
        // and nothing else is touched either.
        settingsUnavailable(path, read.problem);
        return false;
    }
    if (platform::createsSettingsFolder())
        QDir().mkpath(platform::settingsFolder());
    removeStaleTemporaries(path);
    QString note;
    if (read.outcome != ReadOutcome::Applied) {
        // A missing or damaged file is replaced whole by the default file, which is then read.
        note = read.outcome == ReadOutcome::Missing ? QStringLiteral(" (missing: written with the defaults)")
                                                    : QStringLiteral(" (damaged: replaced by the defaults)");
        // A south latitude read before the damage stays turned: the default file's line turns it again.
        const bool turnedSouth = read.outcome == ReadOutcome::Damaged && read.settings.south;
        if (writeSettingsLines(path, defaultSettingsLines()))
            read = readSettings(path);
        read.settings.south = read.settings.south != turnedSouth;
    }
    if (read.outcome != ReadOutcome::Applied) {
        settingsUnavailable(path, read.outcome == ReadOutcome::NotRegular ? read.problem : QString());
        return false;
    }
    platform::logEvent(QStringLiteral("Settings file %1").arg(QDir::toNativeSeparators(path)) + note);
    settings = read.settings;
    m_settingsAsRead = read.content;
    m_settingsLoaded = true;
    return true;
}

// The digit fields, hemispheres and serial port as the (checked) settings give them.
void StationCore::applySettings(const Settings& settings)
{
    for (int field = 0; field < options::kDigitFieldCount; ++field)
        m_model.setDigit(field, settings.digits[static_cast<size_t>(field)]);
    m_options.setHemispheres(settings.south, settings.west);
    (void)m_comm.setCommPort(settings.commPort); // a number the file's reading accepted
}

// The settings as the station holds them now.
Settings StationCore::currentSettings() const
{
    Settings settings;
    settings.commPort = m_comm.commPort();
    for (int field = 0; field < options::kDigitFieldCount; ++field)
        settings.digits[static_cast<size_t>(field)] = m_model.digit(field);
    settings.south = m_model.latitudeSouth();
    settings.west = m_model.longitudeWest();
    return settings;
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
    m_model.closeOptions();
    // The station stops: no more connections, nothing more drawn or tried, and the answers already
    // under way get a moment to finish before everything ends with the station.
    m_httpServer.close(0);
    m_model.setWebsite(m_state.WEBSITE_PORT, false);
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
    QString reason;
    if (writeSettingsLines(path, settingsLines(currentSettings()), &reason)) {
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
