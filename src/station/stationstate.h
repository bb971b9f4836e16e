#pragma once
// The station's shared state: what the bearing input, the map document, the web server and the
// options window share through the station window. Flags hold -1 (true) or 0 (false).

#include "platform/numbertext.h"

#include <QString>
#include <QtGlobal>

struct StationState
{
    qint16 MAX_HTTP_CHANNELS = 0;   // nominal channel count; bounds nothing
    qint32 WEBSITE_PORT = 0;        // TCP port of the listening socket, 0 to 99999
    QString START_LATITUDE;         // station position, coordinate texts
    QString START_LONGITUDE;
    QString END_LATITUDE;           // far end of the bearing line; the station while no bearing is shown
    QString END_LONGITUDE;
    qint16 DF_CAL = 0;              // calibration offset added to every received bearing
    platform::Flag DF_ARRIVING = platform::kFalse; // a bearing sentence is being assembled
    platform::Flag DF_VALID = platform::kFalse;    // BEARING_DEGREES is current and drawn
    QString DF_BUFFER;              // characters of the sentence being assembled
    qint16 BEARING_DEGREES = 0;     // last bearing, calibration applied
};
