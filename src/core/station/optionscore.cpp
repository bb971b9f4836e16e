#include "optionscore.h"

#include "core/options/settingvalues.h"

#include "platform/connectionrules.h"
#include "platform/numbertext.h"
#include "platform/serialport.h"
#include "platform/tcpsocketset.h"
#include "texts.h"
#include "stationinterface.h"
#include "stationmodel.h"
#include "core/web/listening.h"

namespace options {

OptionsCore::OptionsCore(StationInterface& station)
    : m_station(station)
{
}

QStringList OptionsCore::digitTexts(FieldRange range) const
{
    QStringList out;
    for (int field = range.first; field < range.first + range.count; ++field)
        out << digitText(field);
    return out;
}

QString OptionsCore::digitText(int field) const
{
    return QString::number(m_station.model().digit(field));
}

void OptionsCore::setDigits(FieldRange range, const QStringList& digits)
{
    for (int i = 0; i < range.count; ++i)
        setDigit(range.first + i, digits[i].toInt());
}

void OptionsCore::setDigit(int field, int digit)
{
    m_station.model().setDigit(field, digit);
}

void OptionsCore::stepDigit(int field, Step step)
{
    const DigitField& row = kDigitFields.at(static_cast<size_t>(field));
    const station::StationModel& model = m_station.model();
    const int now = model.digit(field);
    std::optional<int> digit;
    switch (row.kind) {
    case StepKind::Plain:
        digit = plainStep(now, row.highest, step);
        break;
    case StepKind::LongitudeTens:
        digit = longitudeTensStep(now, model.digit(kLongitudeHundreds), step);
        break;
    case StepKind::LongitudeHundreds: {
        const auto toggled = longitudeHundredsToggle(now, model.digit(kLongitudeTens));
        digit = toggled.hundreds;
        if (toggled.tens)
            setDigit(kLongitudeTens, *toggled.tens);
        break;
    }
    }
    if (digit)
        setDigit(field, *digit);

    switch (row.editor) {
    case Editor::Position:
        POSITION();
        break;
    case Editor::WebsitePort:
        CHANGE_SITE();
        break;
    case Editor::Calibration:
        CHANGE_CAL();
        break;
    }
}

void OptionsCore::POSITION()
{
    const station::StationModel& model = m_station.model();
    const auto texts = positionTexts(digitTexts(kLatitudeFields), model.latitudeSouth() ? station::kSouth : station::kNorth,
                                     digitTexts(kLongitudeFields), model.longitudeWest() ? station::kWest : station::kEast);
    StationState& state = m_station.state();
    state.START_LATITUDE = texts.latitude;
    state.START_LONGITUDE = texts.longitude;
    state.collapseLine();
    m_station.model().setLine(state.line());
}

void OptionsCore::setHemispheres(bool latitudeSouth, bool longitudeWest)
{
    m_station.model().setHemispheres(latitudeSouth, longitudeWest);
}

void OptionsCore::CmdButton_LAT_HEMI_Click()
{
    const station::StationModel& model = m_station.model();
    setHemispheres(!model.latitudeSouth(), model.longitudeWest());
    POSITION();
}

void OptionsCore::CmdButton_LONG_HEMI_Click()
{
    const station::StationModel& model = m_station.model();
    setHemispheres(model.latitudeSouth(), !model.longitudeWest());
    POSITION();
}

void OptionsCore::CHANGE_SITE()
{
    if (const auto capped = cappedDigits(digitTexts(kWebsitePortFields), platform::connection::kHighestPort))
        setDigits(kWebsitePortFields, *capped);
    const QStringList digits = digitTexts(kWebsitePortFields);

    StationState& state = m_station.state();
    // Only a value below the 32-bit range (a negative digit from a hand-edited file) fails to fit.
    state.WEBSITE_PORT = platform::toInt32(joinedValue(digits)).value_or(0);

    station::StationModel& model = m_station.model();
    model.setWebsitePortRefused(false);

    platform::TcpSocketSet& server = m_station.httpServer();
    server.close(0);
    model.setWebsite(state.WEBSITE_PORT, web::listenForMaps(server, state.WEBSITE_PORT));
    if (model.websiteListening()) {
        // A sentence half received before the re-bind is dropped.
        state.receiver().reset();
        return;
    }
    server.close(0);
    model.setWebsitePortRefused(true);
}

void OptionsCore::CHANGE_CAL()
{
    if (const auto capped = cappedDigits(digitTexts(kCalibrationFields), 359))
        setDigits(kCalibrationFields, *capped);
    m_station.state().DF_CAL = platform::readInt16(digitTexts(kCalibrationFields).join(QString())).value_or(0);
    m_station.model().setCalibration(m_station.state().DF_CAL);
}

void OptionsCore::CmdButton_COMM_PORT_Click()
{
    platform::SerialPort& serial = m_station.serialPort();
    // A line whose device went away still counts as open: the new port is tried at once.
    const bool wasOpen = serial.portOpen() || m_station.serialLineLost();
    if (serial.portOpen())
        (void)serial.setPortOpen(false);
    m_station.model().setCommPortRefused(false);

    const int port = serial.commPort();
    if (port >= 1 && port <= 8) {
        const int next = port == 8 ? 1 : port + 1;
        if (!serial.setCommPort(next))
            return failCommPort();
        m_station.model().setCommPort(next);
        if (!serial.setPortOpen(true))
            return failCommPort();
    } else if (wasOpen) {
        // No selection is made from a port outside COM1 to COM8; DF input carries on where it was
        // rather than standing switched on with its port closed.
        if (!serial.setPortOpen(true))
            return failCommPort();
    }
    // With DF input off a press only tries the port.
    if (!wasOpen)
        (void)serial.setPortOpen(false);
}

void OptionsCore::failCommPort()
{
    platform::SerialPort& serial = m_station.serialPort();
    if (serial.portOpen())
        (void)serial.setPortOpen(false);
    if (m_station.model().dfInput() && !m_station.keepsDfInputOn())
        m_station.CmdButton_ACQUIRE_Click();
    m_station.model().setCommPortRefused(true);
}

void OptionsCore::CmdButton_EXIT_Click()
{
    m_station.model().closeOptions();
}

} // namespace options
