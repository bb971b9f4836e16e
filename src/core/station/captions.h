#pragma once
// The station's own texts, each in one place: captions, window titles, tags and the messages it shows.
// Blanks are part of them.

#include <QString>

namespace station {

// Station window.
inline const QString kStationDesignTitle = QStringLiteral("Tarnvale WebServer : Demo");
inline const QString kStationTitle = QStringLiteral("Tarnvale WebServer (Demo)");
inline const QString kHttp0DesignCaption = QStringLiteral("WEBSITE SERVER STATE 0 : CONN CLOSED");
inline const QString kSiteCaption = QStringLiteral("WEBSITE PORT : ");
inline const QString kAcquireOnCaption = QStringLiteral("  DF INPUT  ON ( OFF )");
inline const QString kAcquireOffCaption = QStringLiteral(" DF INPUT OFF ( ON )");
inline const QString kTestOnCaption = QStringLiteral("     TEST        ON ( OFF )");
inline const QString kTestOffCaption = QStringLiteral("   TEST      OFF ( ON )");
inline const QString kOptionsCaption = QStringLiteral("OPTIONS");
inline const QString kOn = QStringLiteral("ON");
inline const QString kOff = QStringLiteral("OFF");

inline const QString kDfInputOff = QStringLiteral("DF INPUT = OFF");
inline const QString kDfSilent = QStringLiteral("DF = SILENT");
inline const QString kDfDetected = QStringLiteral("DF = DETECTED");
inline const QString kTestStatusOn = QStringLiteral("TEST : ON");
inline const QString kBearingCaption = QStringLiteral("REPORTED BEARING : ");
inline const QString kNoBearing = QStringLiteral("REPORTED BEARING : NONE");

// Options window.
inline const QString kOptionsTitle = QStringLiteral("Tarnvale Options");
inline const QString kNorth = QStringLiteral("N");
inline const QString kSouth = QStringLiteral("S");
inline const QString kEast = QStringLiteral("E");
inline const QString kWest = QStringLiteral("W");
inline const QString kCommPortDesignCaption = QStringLiteral("COM PORT : COM 1");
// "COMM PORT : COM 2" and so on, once a port has been selected.
inline QString commPortCaption(int port) { return QStringLiteral("COMM PORT : COM %1").arg(port); }

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
