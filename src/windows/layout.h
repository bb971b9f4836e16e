#pragma once
// Window geometry and fonts as both windows are laid out: positions in twips (15 to a logical pixel,
// 1440 to the inch at 96 dpi; Qt scales for high-dpi screens) and the controls' fonts.

#include <QFont>
#include <QRect>

namespace platform {

constexpr int px(int twips) { return twips / 15; }

constexpr QRect twipRect(int left, int top, int width, int height)
{
    return {px(left), px(top), px(width), px(height)};
}

// The controls' sans-serif face (Arial's metrics where Liberation Sans is installed).
QFont controlFont(qreal points, bool bold = false);

// The options window's digit fields: Arial (or the metric-compatible Liberation Sans) at 21.75 points.
QFont digitFont();

} // namespace platform
