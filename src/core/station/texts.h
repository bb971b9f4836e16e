#pragma once
// The station's texts that both its windows and its log say, each in one place: what it reports of the
// DF unit, the hemisphere letters, and the messages it shows. Blanks are part of them.

#include "stationmodel.h"

#include <QString>

namespace station {

// What is reported of the DF unit (the station window's DF status, and the log's "DF status: " lines).
inline const QString kDfInputOff = QStringLiteral("DF INPUT = OFF");
inline const QString kDfSilent = QStringLiteral("DF = SILENT");
inline const QString kDfDetected = QStringLiteral("DF = DETECTED");
inline QString dfStatusText(DfStatus status)
{
    switch (status) {
    case DfStatus::InputOff:
        return kDfInputOff;
    case DfStatus::Silent:
        return kDfSilent;
    case DfStatus::Detected:
        break;
    }
    return kDfDetected;
}

// The hemispheres, as the coordinate texts and the options window's buttons write them.
inline const QString kNorth = QStringLiteral("N");
inline const QString kSouth = QStringLiteral("S");
inline const QString kEast = QStringLiteral("E");
inline const QString kWest = QStringLiteral("W");

// Messages: title, then a warning and an instruction that the box shows two line breaks apart.
inline const QString kComPortTitle = QStringLiteral("Invalid COM port selected");
inline const QString kComPortWarning = QStringLiteral("WARNING ! Chosen COM port is not available");
inline const QString kComPortInstruction = QStringLiteral("Select a different COM port on OPTIONS screen");
inline const QString kNetworkPortTitle = QStringLiteral("Invalid NETWORK port selected");
inline const QString kNetworkPortWarning = QStringLiteral("WARNING ! Chosen NETWORK port is not available");
inline const QString kNetworkPortInstruction = QStringLiteral("Select a different NETWORK port on OPTIONS screen");
inline const QString kSettingsUnavailableTitle = QStringLiteral("Settings file not available");
inline const QString kSettingsNotSavedTitle = QStringLiteral("Settings not saved");
inline QString settingsUnavailableWarning(const QString& path)
{
    return QStringLiteral("WARNING ! Settings file %1 can be neither read nor created").arg(path);
}
// Logged after the COM port message by a station without windows, where nobody can press the button.
inline QString headlessComPortHint(int port, const QString& folder, const QString& settingsFile)
{
    return QStringLiteral("Without an options window: link COM%1 in %2 to the DF unit's device "
                          "(ln -s /dev/serial/by-id/<device> %2/COM%1), or put another COM port "
                          "number on line 1 of %3")
        .arg(port)
        .arg(folder, settingsFile);
}
inline QString settingsUnavailableInstruction(const QString& folder)
{
    return QStringLiteral("Check that the folder %1 exists and can be written").arg(folder);
}
inline QString settingsNotSavedWarning(const QString& path)
{
    return QStringLiteral("WARNING ! Settings could not be written to %1").arg(path);
}

} // namespace station
