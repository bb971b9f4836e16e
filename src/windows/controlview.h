#pragma once
// How a window shows one of the station's controls: caption, tag, background and visibility written
// onto the widget that carries the control's name.

#include "core/station/controls.h"

class QWidget;

namespace station {

void showControl(QWidget& widget, const ControlState& state);
// Only the background and visibility (a digit field, whose digit its presenter shows).
void showBackground(QWidget& widget, const ControlState& state);

} // namespace station
