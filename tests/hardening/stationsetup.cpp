#include "stationsetup.h"

#include "support/loopback.h"

#include <QFileInfo>

namespace hardening {

quint16 freePortBelowNine()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        const quint16 port = testsupport::freePort();
        if (port % 10 != 9 && port < 65530)
            return port;
    }
    return 0;
}

void StationSetup::SetUp()
{
    ASSERT_TRUE(dfUnit.linkAs(folder.folder(), 1));
    port = freePortBelowNine();
    ASSERT_NE(port, 0);
    folder.writeLines(testsupport::settingsLinesFor(port));
}

testsupport::StationProcess StationSetup::startStation(const QStringList& arguments) const
{
    return {QStringLiteral(TARNVALE_EXECUTABLE), QFileInfo(folder.folder()).path(), arguments};
}

} // namespace hardening
