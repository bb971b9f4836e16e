#pragma once
// A station with a DF unit (a pseudo-terminal) linked as COM1 in its own settings folder, started from
// its settings file and shut down as the tests of that file need it.

#include "platform/messages.h"
#include "core/station/stationcore.h"
#include "support/messagerecorder.h"
#include "support/pty.h"
#include "support/settingsfolder.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <memory>

struct SettingsStation : ::testing::Test
{
    testsupport::SettingsFolder folder;
    testsupport::Pty dfUnit;
    platform::Messages messages;
    testsupport::MessageRecorder boxes{messages};
    std::unique_ptr<StationCore> station = std::make_unique<StationCore>(messages);

    void SetUp() override { ASSERT_TRUE(dfUnit.linkAs(folder.folder(), 1)); }
    bool start() { return station->Form_Load(); }
    // Shuts the station down and gives the settings file's lines as it left them.
    QStringList shutDown()
    {
        station->shutDown();
        station.reset();
        return folder.readLines();
    }
};
