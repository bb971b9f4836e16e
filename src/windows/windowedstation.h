#pragma once
// The windowed station: one station core, its message boxes, and its two windows as views of it.

#include "core/station/stationcore.h"
#include "stationwindow.h"

#include "optionswindow.h"
#include "messagebox.h"

namespace station {

struct WindowedStation
{
    WindowedStation() { boxes.setWindow(&stationWindow); }

    platform::MessageBoxes boxes;
    StationCore station{boxes};
    Form_STATION stationWindow{station};
    Form_OPTIONS optionsWindow{station};
};

} // namespace station
