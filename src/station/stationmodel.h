#pragma once
// The station's switches and state in its own terms: whether DF input and test mode are on, what the DF
// unit is doing, and which hemispheres the position lies in. The handlers decide from these values;
// each change is announced once, so the windows and the live map follow it without polling. Nothing
// is announced when a value is set to what it already is.

#include <QObject>

namespace station {

// What the map and the operator are told of the DF unit: test mode on; else DF input off; else a
// bearing from the unit is valid and drawn; else the unit is silent.
enum class DfState { Off, Silent, Detected, Test };

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

    void setDfInput(bool on);
    void setTestMode(bool on);
    // A bearing (from the unit, or in test mode from the generator) is current and drawn.
    void setBearingValid(bool valid);
    void setHemispheres(bool latitudeSouth, bool longitudeWest);

signals:
    void dfInputChanged(bool on);
    void testModeChanged(bool on);
    void dfStateChanged(station::DfState state);
    void hemispheresChanged(bool latitudeSouth, bool longitudeWest);

private:
    // Runs a change and announces the DF state when it moved.
    template <typename Change>
    void changing(Change change);

    bool m_dfInput = true; // the station window opens with DF input on
    bool m_testMode = false;
    bool m_bearingValid = false;
    bool m_latitudeSouth = false;
    bool m_longitudeWest = false;
};

} // namespace station
