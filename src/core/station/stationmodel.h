#pragma once
// The station's switches and state in its own terms: whether DF input and test mode are on, what the DF
// unit is doing and the bearing reported, the 23 digits of the position, website port and calibration (in the order of
// options::kDigitFields), the COM port, the bearing line (the station's position and the line's end) with the bearing now drawn
// on it, which hemispheres the position lies in, the calibration, the website port and whether it
// listens, and how the serial line stands. (The values the handlers compute with, WEBSITE_PORT, DF_CAL
// and the line's texts, stay in StationState; the model announces them as they are set.) The handlers
// decide from these values;
// each change is announced once, so the windows and the live map follow it without polling. Nothing
// is announced when a value is set to what it already is.

#include "bearingline.h"
#include "drawnbearing.h"

#include "core/options/digitfields.h"

#include <QObject>
#include <array>
#include <optional>

namespace station {

// What the map and the operator are told of the DF unit: test mode on; else DF input off; else a
// bearing from the unit is valid and drawn; else the unit is silent.
enum class DfState { Off, Silent, Detected, Test };

// The serial line: closed by the station, open, gone away under DF input (tried again), or failed to open.
enum class SerialLine { Closed, Open, Lost, Failed };

// What the station reports of the DF unit itself: DF input off, silent, or a sentence framed since the
// watchdog last ran out (in test mode too, and also one whose field draws nothing).
enum class DfStatus { InputOff, Silent, Detected };

// The bearing the station reports: the DF unit's with the calibration added, or the test generator's
// (which it reports on every tick, also one that draws nothing).
struct ReportedBearing
{
    DrawnBearing::Source source = DrawnBearing::Source::Df;
    int degrees = 0;
    bool operator==(const ReportedBearing&) const = default;
};

class StationModel : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    bool dfInput() const { return m_dfInput; }
    bool testMode() const { return m_testMode; }
    bool bearingValid() const { return m_bearingValid; }
    DfState dfState() const;
    const BearingLine& line() const { return m_line; }
    // The bearing now drawn: the last one drawn while its line is shown, none once the line collapsed.
    std::optional<DrawnBearing> bearing() const;
    // The last bearing drawn, kept after its line collapsed (the live map shows when it was drawn).
    const std::optional<DrawnBearing>& lastDrawn() const { return m_lastDrawn; }
    // A digit field's digit as the options window shows it (options::kDigitFields[field]).
    int digit(int field) const { return m_digits.at(static_cast<size_t>(field)); }
    // The COM port the options' selector last selected; 0 before its first selection.
    int commPort() const { return m_commPort; }
    bool latitudeSouth() const { return m_latitudeSouth; }
    bool longitudeWest() const { return m_longitudeWest; }
    int calibration() const { return m_calibration; }
    int websitePort() const { return m_websitePort; }
    bool websiteListening() const { return m_websiteListening; }
    SerialLine serialLine() const { return m_serialLine; }
    // Whether the station has started from its settings (before, nothing of them is known).
    bool hasStarted() const { return m_started; }
    DfStatus dfStatus() const { return m_dfStatus; }
    const std::optional<ReportedBearing>& reportedBearing() const { return m_reported; }
    // The listening socket's state number (0 closed, 2 listening, ...; platform::TcpSocketSet::state),
    // as last read; -1 before the first reading.
    int serverState() const { return m_serverState; }
    // The website port last chosen on the options could not be listened on.
    bool websitePortRefused() const { return m_websitePortRefused; }
    // The COM port last selected on the options could not be opened.
    bool commPortRefused() const { return m_commPortRefused; }
    // The operator has the options open (from OPTIONS until EXIT or the shutdown).
    bool optionsOpen() const { return m_optionsOpen; }

    void setDfInput(bool on);
    void setTestMode(bool on);
    // A bearing (from the unit, or in test mode from the generator) is current and drawn.
    void setBearingValid(bool valid);
    // The line as the next map document draws it (a new position, a computed end, the line collapsed).
    void setLine(const station::BearingLine& line);
    // A bearing has just been drawn on the line set before it.
    void drawBearing(const station::DrawnBearing& bearing);
    void setDigit(int field, int digit);
    void setCommPort(int port);
    void setHemispheres(bool latitudeSouth, bool longitudeWest);
    void setCalibration(int degrees);
    void setWebsite(int port, bool listening);
    void setSerialLine(station::SerialLine line);
    void setStarted();
    void setDfStatus(station::DfStatus status);
    void setReportedBearing(const std::optional<station::ReportedBearing>& bearing);
    void setServerState(int state);
    void setWebsitePortRefused(bool refused);
    void setCommPortRefused(bool refused);
    // Opening announces itself also when the options are open already (the operator asked again).
    void openOptions();
    void closeOptions();

signals:
    void dfInputChanged(bool on);
    void testModeChanged(bool on);
    void dfStateChanged(station::DfState state);
    void lineChanged(const station::BearingLine& line);
    // Raised for every bearing drawn, also when it equals the last one (the bearing log follows it).
    void bearingDrawn(const station::DrawnBearing& bearing);
    void digitChanged(int field, int digit);
    void commPortChanged(int port);
    void hemispheresChanged(bool latitudeSouth, bool longitudeWest);
    void calibrationChanged(int degrees);
    void websiteChanged(int port, bool listening);
    void serialLineChanged(station::SerialLine line);
    void started();
    void dfStatusChanged(station::DfStatus status);
    void reportedBearingChanged(const std::optional<station::ReportedBearing>& bearing);
    void serverStateChanged(int state);
    void websitePortRefusedChanged(bool refused);
    void commPortRefusedChanged(bool refused);
    void optionsOpened();
    void optionsClosed();

private:
    static constexpr std::array<int, options::kDigitFieldCount> filled(int digit)
    {
        std::array<int, options::kDigitFieldCount> digits{};
        digits.fill(digit);
        return digits;
    }
    // Runs a change and announces the DF state when it moved.
    template <typename Change>
    void changing(Change change);

    bool m_dfInput = true; // the station window opens with DF input on
    bool m_testMode = false;
    bool m_bearingValid = false;
    BearingLine m_line;
    std::optional<DrawnBearing> m_lastDrawn;
    std::array<int, options::kDigitFieldCount> m_digits = filled(8); // the options window's design digits
    int m_commPort = 0;
    bool m_latitudeSouth = false;
    bool m_longitudeWest = false;
    int m_calibration = 0;
    int m_websitePort = 0;
    bool m_websiteListening = false;
    SerialLine m_serialLine = SerialLine::Closed;
    bool m_started = false;
    DfStatus m_dfStatus = DfStatus::InputOff;
    std::optional<ReportedBearing> m_reported;
    int m_serverState = -1;
    bool m_websitePortRefused = false;
    bool m_commPortRefused = false;
    bool m_optionsOpen = false;
};

} // namespace station
