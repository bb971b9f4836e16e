#include "stationmodel.h"

namespace station {

namespace {

// Sets `held` to `value`; true when that changed it.
template <typename Value>
bool assign(Value& held, const Value& value)
{
    if (held == value)
        return false;
    held = value;
    return true;
}

} // namespace

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
    if (assign(m_line, line))
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
    if (assign(m_commPort, port))
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
    if (assign(m_calibration, degrees))
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
    if (assign(m_serialLine, line))
        emit serialLineChanged(line);
}

void StationModel::setStarted()
{
    if (m_started)
        return;
    m_started = true;
    emit started();
}

void StationModel::setDfStatus(DfStatus status)
{
    if (assign(m_dfStatus, status))
        emit dfStatusChanged(status);
}

void StationModel::setReportedBearing(const std::optional<ReportedBearing>& bearing)
{
    if (assign(m_reported, bearing))
        emit reportedBearingChanged(bearing);
}

void StationModel::setServerState(int state)
{
    if (assign(m_serverState, state))
        emit serverStateChanged(state);
}

void StationModel::setWebsitePortRefused(bool refused)
{
    if (assign(m_websitePortRefused, refused))
        emit websitePortRefusedChanged(refused);
}

void StationModel::setCommPortRefused(bool refused)
{
    if (assign(m_commPortRefused, refused))
        emit commPortRefusedChanged(refused);
}

void StationModel::openOptions()
{
    m_optionsOpen = true;
    emit optionsOpened();
}

void StationModel::closeOptions()
{
    if (!m_optionsOpen)
        return;
    m_optionsOpen = false;
    emit optionsClosed();
}

} // namespace station
