// The options window's operations: digit steps, the working values made from the digits, the
// hemisphere toggles and the COM port selector.
#include "optionswindow.h"

#include "settingvalues.h"

#include "platform/captionwidgets.h"
#include "platform/numbertext.h"
#include "platform/serialport.h"
#include "platform/tcpsocketset.h"
#include "station/stationinterface.h"

#include <QApplication>

using options::DigitColumn;
using options::StepKind;

namespace {

QColor buttonShadow()
{
    return QApplication::palette().color(QPalette::Dark);
}

void toggleHemisphere(platform::TagButton& button, const QString& first, const QString& second)
{
    const QString tag = button.tag();
    const QString next = tag == first ? second : tag == second ? first : QString();
    if (next.isEmpty())
        return;
    button.setText(next);
    button.setTag(next);
}

} // namespace

QStringList Form_OPTIONS::tags(std::span<const DigitColumn> columns) const
{
    QStringList out;
    for (const DigitColumn& column : columns)
        out << m_fields.value(QLatin1String(column.field))->tag();
    return out;
}

void Form_OPTIONS::setDigits(std::span<const DigitColumn> columns, const QStringList& digits)
{
    for (size_t i = 0; i < columns.size(); ++i)
        m_fields.value(QLatin1String(columns[i].field))->setDigit(digits[static_cast<qsizetype>(i)]);
}

void Form_OPTIONS::stepDigit(const DigitColumn& column, options::Step step)
{
    platform::TagLabel* field = m_fields.value(QLatin1String(column.field));
    const auto show = [](platform::TagLabel* f, std::optional<int> digit) {
        if (digit)
            f->setDigit(QString::number(*digit));
    };
    switch (column.kind) {
    case StepKind::Plain:
        show(field, options::plainStep(field->tag(), column.highest, step));
        break;
    case StepKind::LongitudeTens:
        show(field, options::longitudeTensStep(field->tag(), digitField(QLatin1String(options::kLongitudeHundreds))->tag(), step));
        break;
    case StepKind::LongitudeHundreds: {
        platform::TagLabel* tens = digitField(QLatin1String(options::kLongitudeTens));
        const auto toggled = options::longitudeHundredsToggle(field->tag(), tens->tag());
        show(field, toggled.hundreds);
        show(tens, toggled.tens);
        break;
    }
    }
    switch (column.editor) {
    case options::Editor::Position:
        POSITION();
        break;
    case options::Editor::WebsitePort:
        CHANGE_SITE();
        break;
    case options::Editor::Calibration:
        CHANGE_CAL();
        break;
    }
}

void Form_OPTIONS::POSITION()
{
    const auto texts = options::positionTexts(tags(options::latitudeColumns()), m_latHemi->tag(),
                                              tags(options::longitudeColumns()), m_longHemi->tag());
    StationState& state = m_station.state();
    state.START_LATITUDE = texts.latitude;
    state.START_LONGITUDE = texts.longitude;
    state.END_LATITUDE = state.START_LATITUDE;
    state.END_LONGITUDE = state.START_LONGITUDE;
}

void Form_OPTIONS::CmdButton_LAT_HEMI_Click()
{
    toggleHemisphere(*m_latHemi, QStringLiteral("N"), QStringLiteral("S"));
    POSITION();
}

void Form_OPTIONS::CmdButton_LONG_HEMI_Click()
{
    toggleHemisphere(*m_longHemi, QStringLiteral("E"), QStringLiteral("W"));
    POSITION();
}

void Form_OPTIONS::CHANGE_SITE()
{
    const auto columns = options::websitePortColumns();
    if (const auto capped = options::cappedDigits(tags(columns), 65535))
        setDigits(columns, *capped);
    const QStringList digits = tags(columns);
    const QString portText = digits.join(QString());
    m_station.setSiteCaption(QStringLiteral("WEBSITE PORT : ") + portText);

    StationState& state = m_station.state();
    // Only a value below the 32-bit range (a negative tag from a hand-edited file) fails to fit.
    state.WEBSITE_PORT = platform::toInt32(options::joinedValue(digits)).value_or(0);

    const auto paint = [&](const QColor& colour) {
        for (const DigitColumn& column : columns)
            m_fields.value(QLatin1String(column.field))->setBackground(colour);
    };
    paint(Qt::white);

    platform::TcpSocketSet& server = m_station.httpServer();
    server.close(0);
    server.setLocalPort(0, state.WEBSITE_PORT);
    if (server.listen(0)) {
        // A sentence half received before the re-bind is dropped.
        state.DF_ARRIVING = platform::kFalse;
        state.DF_BUFFER.clear();
        return;
    }
    server.close(0);
    paint(buttonShadow());
}

void Form_OPTIONS::CHANGE_CAL()
{
    const auto columns = options::calibrationColumns();
    if (const auto capped = options::cappedDigits(tags(columns), 359))
        setDigits(columns, *capped);
    m_station.state().DF_CAL = platform::readInt16(tags(columns).join(QString())).value_or(0);
}

void Form_OPTIONS::CmdButton_COMM_PORT_Click()
{
    platform::SerialPort& serial = m_station.serialPort();
    const bool wasOpen = serial.portOpen();
    if (wasOpen)
        (void)serial.setPortOpen(false);
    m_commPort->setFaceRole(QPalette::Button);

    const int port = serial.commPort();
    if (port >= 1 && port <= 8) {
        const int next = port == 8 ? 1 : port + 1;
        if (!serial.setCommPort(next))
            return failCommPort();
        m_commPort->setText(QStringLiteral("COMM PORT : COM %1").arg(next));
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

void Form_OPTIONS::failCommPort()
{
    platform::SerialPort& serial = m_station.serialPort();
    if (serial.portOpen())
        (void)serial.setPortOpen(false);
    if (m_station.acquireTag() == u"ON")
        m_station.CmdButton_ACQUIRE_Click();
    m_commPort->setFaceRole(QPalette::Dark);
}
