#pragma once
// The station's switches and state in its own terms: whether DF input and test mode are on, what the DF
// unit is doing, which hemispheres the position lies in, the calibration, the website port and whether
// it listens, and how the serial line stands. (The numbers the handlers compute with, WEBSITE_PORT and
// DF_CAL, stay in StationState; the model announces them as they are set.) The handlers decide from these values;
// each change is announced once, so the windows and the live map follow it without polling. Nothing
// is announced when a value is set to what it already is.

#include <QObject>

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
    void setHemispheres(bool latitudeSouth, bool longitudeWest);
    void setCalibration(int degrees);
    void setWebsite(int port, bool listening);
    void setSerialLine(station::SerialLine line);

signals:
    void dfInputChanged(bool on);
    void testModeChanged(bool on);
    void dfStateChanged(station::DfState state);
    void hemispheresChanged(bool latitudeSouth, bool longitudeWest);
    void calibrationChanged(int degrees);
    void websiteChanged(int port, bool listening);
    void serialLineChanged(station::SerialLine line);

private:
    // Runs a change and announces the DF state when it moved.
    template <typename Change>
    void changing(Change change);

    bool m_dfInput = true; // the station window opens with DF input on
    bool m_testMode = false;
    bool m_bearingValid = false;
    bool m_latitudeSouth = false;
    bool m_longitudeWest = false;
    int m_calibration = 0;
    int m_websitePort = 0;
    bool m_websiteListening = false;
    SerialLine m_serialLine = SerialLine::Closed;
};

} // namespace station
