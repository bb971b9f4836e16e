#pragma once
// Captions of the listening socket's state, as the station window shows them.

#include <QString>
#include <optional>

namespace web {

// "WEBSITE SERVER STATE 2 : LISTENING" for State 2; empty for a State outside 0 to 9.
std::optional<QString> serverStateCaption(int state);

} // namespace web
