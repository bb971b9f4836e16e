#include "captions.h"

#include <array>

namespace station {

std::optional<QString> serverStateCaption(int state)
{
    static const std::array<const char*, 10> kNames = {
        "CONN CLOSED", "CONN OPEN",      "LISTENING",  "CONN PENDING", "RESOLVING HOST",
        "HOST RESOLVED", "CONNECTING", "CONNECTED", "PEER CLOSING", "ERROR",
    };
    if (state < 0 || state > 9)
        return std::nullopt;
    return QStringLiteral("WEBSITE SERVER STATE %1 : %2").arg(state).arg(QLatin1String(kNames[static_cast<size_t>(state)]));
}

} // namespace station
