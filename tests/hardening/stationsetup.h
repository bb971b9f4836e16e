#pragma once
// What the fault cases start from: a settings folder with a DF unit (a pseudo-terminal) linked as
// COM1, and the default settings on a free website port.

#include "support/pty.h"
#include "support/settingsfolder.h"
#include "support/stationprocess.h"

#include <QString>
#include <gtest/gtest.h>

namespace hardening {

// A free loopback port whose units digit is below 9, so that one step up stays within the tens.
quint16 freePortBelowNine();

class StationSetup : public ::testing::Test
{
protected:
    void SetUp() override;

    // Starts the real program on this folder (returned in place: the process is neither copied nor
    // moved); windowed offscreen unless the arguments hold --headless.
    testsupport::StationProcess startStation(const QStringList& arguments = {}) const;

    testsupport::SettingsFolder folder;
    testsupport::Pty dfUnit;
    quint16 port = 0; // the website port in the settings file
};

} // namespace hardening
