#pragma once
// The windows' own captions, titles and tags. Blanks are part of them.

#include <QString>
#include <optional>

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

inline const QString kTestStatusOn = QStringLiteral("TEST : ON");
inline const QString kBearingCaption = QStringLiteral("REPORTED BEARING : ");
inline const QString kNoBearing = QStringLiteral("REPORTED BEARING : NONE");

// Options window.
inline const QString kOptionsTitle = QStringLiteral("Tarnvale Options");
inline const QString kCommPortDesignCaption = QStringLiteral("COM PORT : COM 1");
// "COMM PORT : COM 2" and so on, once a port has been selected.
inline QString commPortCaption(int port) { return QStringLiteral("COMM PORT : COM %1").arg(port); }

// "WEBSITE SERVER STATE 2 : LISTENING" for the listening socket's state 2; none for a state outside 0 to 9.
std::optional<QString> serverStateCaption(int state);

} // namespace station
