// Start-up from the settings file and the orderly shutdown that writes it back.
#include "stationwindow.h"

#include "geo/kml.h"
#include "options/optionswindow.h"
#include "platform/captionwidgets.h"
#include "platform/messagebox.h"
#include "platform/paths.h"
#include "captions.h"
#include "settingsfile.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <cstdio>

namespace {

// Applies the settings file's lines to the options window and the serial line.
class OptionsTarget : public station::SettingsTarget
{
public:
    OptionsTarget(Form_OPTIONS& options, platform::SerialPort& comm)
        : m_options(options)
        , m_comm(comm)
    {
    }
    bool setCommPort(int portNumber) override { return m_comm.setCommPort(portNumber); }
    void setDigitTag(int field, const QString& tag) override
    {
        if (auto* label = digitField(m_options, field))
            label->setTag(tag);
    }
    void toggleLatitudeHemisphere() override { m_options.CmdButton_LAT_HEMI_Click(); }
    void toggleLongitudeHemisphere() override { m_options.CmdButton_LONG_HEMI_Click(); }

    static platform::TagLabel* digitField(Form_OPTIONS& options, int field)
    {
        return options.findChild<platform::TagLabel*>(QLatin1String(station::kDigitFieldNames.at(field)));
    }

private:
    Form_OPTIONS& m_options;
    platform::SerialPort& m_comm;
};

QString joinedTags(Form_OPTIONS& options, int firstField, int count)
{
    QString text;
    for (int field = firstField; field < firstField + count; ++field)
        text += OptionsTarget::digitField(options, field)->tag();
    return text;
}

constexpr int kFirstPortField = 0;
constexpr int kFirstCalibrationField = 5;

} // namespace

bool Form_STATION::Form_Load()
{
    m_loading = true;
    const bool started = startUp();
    m_loading = false;
    // A signal during the start-up (while a message box waited) closes the station once it is done.
    if (started && m_closePending)
        closeFromSignal();
    return started;
}

bool Form_STATION::startUp()
{
    m_kmlTemplate = geo::buildKmlTemplate();
    m_state.BEARING_DEGREES = 0;
    m_state.DF_VALID = platform::kFalse;

    if (!loadSettings())
        return false;

    setWindowTitle(QStringLiteral("Tarnvale WebServer (Demo)"));

    Form_OPTIONS& form = options();
    for (int field = 0; field < static_cast<int>(station::kDigitFieldNames.size()); ++field) {
        auto* label = OptionsTarget::digitField(form, field);
        label->setDigit(station::checkedDigit(field, label->tag()));
    }

    form.POSITION();
    m_state.END_LATITUDE = m_state.START_LATITUDE;
    m_state.END_LONGITUDE = m_state.START_LONGITUDE;
    ENDPOINT();

    m_state.DF_CAL = static_cast<qint16>(platform::readNumber(joinedTags(form, kFirstCalibrationField, 3)));

    // One press of the COM port button advances the port, so start one below the stored port.
    const int stored = m_comm.commPort();
    (void)m_comm.setCommPort(stored - 1 == 0 ? 8 : stored - 1);
    if (auto* comPort = form.findChild<QPushButton*>(QStringLiteral("CmdButton_COMM_PORT")))
        comPort->click();

    m_timerDf.setEnabled(true);
    m_dfStatus->setText(station::kDfSilent);

    m_state.MAX_HTTP_CHANNELS = 50;
    m_state.DF_ARRIVING = platform::kFalse;
    m_state.DF_BUFFER.clear();

    const QString portText = joinedTags(form, kFirstPortField, 5);
    m_site->setText(QStringLiteral("WEBSITE PORT : ") + portText);
    m_state.WEBSITE_PORT = static_cast<qint32>(platform::readNumber(portText));

    m_httpServer.setLocalPort(0, m_state.WEBSITE_PORT);
    if (!m_httpServer.listen(0)) {
        platform::MessageBoxes::instance().show(
            this, QStringLiteral("Invalid NETWORK port selected"),
            platform::joinedMessage(QStringLiteral("WARNING ! Chosen NETWORK port is not available"),
                                    QStringLiteral("Select a different NETWORK port on OPTIONS screen")));
        return true;
    }

    if (!m_comm.portOpen() && !m_comm.setPortOpen(true))
        showComPortMessage();
    return true;
}

bool Form_STATION::loadSettings()
{
    const QString path = platform::settingsFilePath();
#ifndef Q_OS_WIN
    // Per-user programs create their own folder; the fixed Windows folder is the operator's to make.
    QDir().mkpath(platform::settingsFolder());
#endif
    OptionsTarget target(options(), m_comm);
    station::ReadOutcome outcome = station::readSettings(path, target);
    if (outcome != station::ReadOutcome::Applied) {
        // A missing or damaged file is replaced whole by the default file, which is then read.
        if (station::writeSettingsLines(path, station::defaultSettingsLines()))
            outcome = station::readSettings(path, target);
    }
    if (outcome != station::ReadOutcome::Applied) {
        platform::MessageBoxes::instance().show(
            this, QStringLiteral("Settings file not available"),
            platform::joinedMessage(
                QStringLiteral("WARNING ! Settings file %1 can be neither read nor created").arg(QDir::toNativeSeparators(path)),
                QStringLiteral("Check that the folder %1 exists and can be written")
                    .arg(QDir::toNativeSeparators(platform::settingsFolder()))));
        m_exitStatus = 1;
        return false;
    }
    m_settingsLoaded = true;
    return true;
}

void Form_STATION::closeFromSignal()
{
    m_closingOnSignal = true;
    if (m_loading) {
        m_closePending = true;
        return;
    }
    if (!close())
        Form_Unload();
}

void Form_STATION::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    if (m_settingsLoaded && m_options)
        saveSettings();
    m_options.reset();
    (void)m_comm.setPortOpen(false);
}

void Form_STATION::saveSettings()
{
    QStringList tags;
    for (int field = 0; field < static_cast<int>(station::kDigitFieldNames.size()); ++field)
        tags << OptionsTarget::digitField(*m_options, field)->tag();
    for (const char* name : {"CmdButton_LAT_HEMI", "CmdButton_LONG_HEMI"}) {
        auto* hemisphere = m_options->findChild<platform::TagButton*>(QLatin1String(name));
        tags << (hemisphere ? hemisphere->tag() : QString());
    }
    const QString path = platform::settingsFilePath();
    QString reason;
    if (station::writeSettingsLines(path, station::settingsLines(m_comm.commPort(), tags), &reason))
        return;
    const QString warning = QStringLiteral("WARNING ! Settings could not be written to %1").arg(QDir::toNativeSeparators(path));
    if (m_closingOnSignal) {
        // Nobody may be watching a headless station: say it where its log goes.
        std::fprintf(stderr, "%s: %s\n", qPrintable(warning), qPrintable(reason));
        m_exitStatus = 1;
        return;
    }
    platform::MessageBoxes::instance().show(this, QStringLiteral("Settings not saved"),
                                            platform::joinedMessage(warning, reason));
}

void Form_STATION::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}
