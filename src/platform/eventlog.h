#pragma once
// The station's account of itself: one line on standard error for each event worth knowing (where the
// map is served, the serial line coming and going, the DF unit falling silent, a message shown,
// shutdown), never one per request or sentence. A service manager's journal keeps these lines.

#include <QString>
#include <functional>

namespace platform {

// Writes `line` and a line end to standard error at once.
void logEvent(const QString& line);

// Where the lines go instead (tests keep them); an empty function restores standard error.
void setEventSink(std::function<void(const QString&)> sink);

} // namespace platform
