#pragma once
// The station's switches and state in its own terms: whether DF input and test mode are on, what the DF
// unit is doing, the 23 digits of the position, website port and calibration (in the order of
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
    // The COM port the options window's selector last selected; 0 before its first selection (the
    // selector then shows its design caption).
    int commPort() const { return m_commPort; }
    bool latitudeSouth() const { return m_latitudeSouth; }
    bool longitudeWest() const { return m_longitudeWest; }
    int calibration() const { return m_calibration; }
    int websitePort() const { return m_websitePort; }
    bool websiteListening() const { return m_websiteListening; }
    SerialLine serialLine() const { return m_serialLine; }

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
};

} // namespace station
