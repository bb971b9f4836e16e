#include "stationmodel.h"

namespace station {

DfState StationModel::dfState() const
{
    if (m_testMode)
        return DfState::Test;
    if (!m_dfInput)
        return DfState::Off;
    return m_bearingValid ? DfState::Detected : DfState::Silent;
}

std::optional<DrawnBearing> StationModel::bearing() const
{
    if (m_line.collapsed())
        return std::nullopt;
    return m_lastDrawn;
}

template <typename Change>
void StationModel::changing(Change change)
{
    const DfState before = dfState();
    change();
    if (const DfState after = dfState(); after != before)
        emit dfStateChanged(after);
}

void StationModel::setDfInput(bool on)
{
    if (on == m_dfInput)
        return;
    changing([&] { m_dfInput = on; });
    emit dfInputChanged(on);
}

void StationModel::setTestMode(bool on)
{
    if (on == m_testMode)
        return;
    changing([&] { m_testMode = on; });
    emit testModeChanged(on);
}

void StationModel::setBearingValid(bool valid)
{
    changing([&] { m_bearingValid = valid; });
}

void StationModel::setLine(const BearingLine& line)
{
    if (line == m_line)
        return;
    m_line = line;
    emit lineChanged(line);
}

void StationModel::drawBearing(const DrawnBearing& bearing)
{
    m_lastDrawn = bearing;
    emit bearingDrawn(bearing);
}

void StationModel::setDigit(int field, int digit)
{
    int& held = m_digits.at(static_cast<size_t>(field));
    if (digit == held)
        return;
    held = digit;
    emit digitChanged(field, digit);
}

void StationModel::setCommPort(int port)
{
    if (port == m_commPort)
        return;
    m_commPort = port;
    emit commPortChanged(port);
}

void StationModel::setHemispheres(bool latitudeSouth, bool longitudeWest)
{
    if (latitudeSouth == m_latitudeSouth && longitudeWest == m_longitudeWest)
        return;
    m_latitudeSouth = latitudeSouth;
    m_longitudeWest = longitudeWest;
    emit hemispheresChanged(latitudeSouth, longitudeWest);
}

void StationModel::setCalibration(int degrees)
{
    if (degrees == m_calibration)
        return;
    m_calibration = degrees;
    emit calibrationChanged(degrees);
}

void StationModel::setWebsite(int port, bool listening)
{
    if (port == m_websitePort && listening == m_websiteListening)
        return;
    m_websitePort = port;
    m_websiteListening = listening;
    emit websiteChanged(port, listening);
}

void StationModel::setSerialLine(SerialLine line)
{
    if (line == m_serialLine)
        return;
    m_serialLine = line;
    emit serialLineChanged(line);
}

} // namespace station
