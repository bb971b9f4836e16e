#pragma once
// The station window's own texts, each used by more than one handler; blanks are part of them.

#include <QString>

namespace station {

inline const QString kAcquireOnCaption = QStringLiteral("  DF INPUT  ON ( OFF )");
inline const QString kAcquireOffCaption = QStringLiteral(" DF INPUT OFF ( ON )");
inline const QString kTestOnCaption = QStringLiteral("     TEST        ON ( OFF )");
inline const QString kTestOffCaption = QStringLiteral("   TEST      OFF ( ON )");
inline const QString kOn = QStringLiteral("ON");
inline const QString kOff = QStringLiteral("OFF");

inline const QString kDfInputOff = QStringLiteral("DF INPUT = OFF");
inline const QString kDfSilent = QStringLiteral("DF = SILENT");
inline const QString kDfDetected = QStringLiteral("DF = DETECTED");

inline const QString kBearingCaption = QStringLiteral("REPORTED BEARING : ");
inline const QString kNoBearing = QStringLiteral("REPORTED BEARING : NONE");

} // namespace station
