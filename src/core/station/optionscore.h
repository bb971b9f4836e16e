#pragma once
// The options window's operations, without the window: the 46 digit steps, the working values made
// from the digits (POSITION, CHANGE_SITE, CHANGE_CAL), the hemisphere toggles, the COM port selector
// and EXIT. They set the station model (the windows show it); the station's state, listening socket and serial line are reached through its interface.

#include "core/options/digitfields.h"
#include "core/options/digitstep.h"

#include <QStringList>

class StationInterface;

namespace options {

class OptionsCore
{
public:
    explicit OptionsCore(StationInterface& station);

    // A press of the up or down button of digit field `field` (an index into kDigitFields).
    void stepDigit(int field, Step step);

    void POSITION();
    void CHANGE_SITE();
    void CHANGE_CAL();
    void CmdButton_LAT_HEMI_Click();
    void CmdButton_LONG_HEMI_Click();
    void CmdButton_COMM_PORT_Click();
    void CmdButton_EXIT_Click();

    // The hemispheres as the settings give them; POSITION() is left to the caller.
    void setHemispheres(bool latitudeSouth, bool longitudeWest);

    // The digits of a setting's fields as the window shows them, in order.
    QStringList digitTexts(FieldRange range) const;

private:
    QString digitText(int field) const;
    void setDigits(FieldRange range, const QStringList& digits);
    void setDigit(int field, int digit);
    void failCommPort();

    StationInterface& m_station;
};

} // namespace options
