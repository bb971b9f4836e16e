#pragma once
// The station's shared state: what the bearing input, the map document, the web server and the
// options share through the station.

#include "bearingline.h"

#include "core/bearing/sentenceframer.h"
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
    bool DF_ARRIVING = false;            // a bearing sentence is being assembled
    bool DF_VALID = false;               // BEARING_DEGREES is current and drawn
    QString DF_BUFFER;              // characters of the sentence being assembled
    qint16 BEARING_DEGREES = 0;     // last bearing, calibration applied

    // The sentence receiver working on DF_ARRIVING and DF_BUFFER.
    bearing::SentenceFramer receiver() { return {DF_ARRIVING, DF_BUFFER}; }

    // The bearing line collapsed onto the station: the end texts become the start texts.
    void collapseLine()
    {
        END_LATITUDE = START_LATITUDE;
        END_LONGITUDE = START_LONGITUDE;
    }

    station::BearingLine line() const { return {START_LATITUDE, START_LONGITUDE, END_LATITUDE, END_LONGITUDE}; }
};
