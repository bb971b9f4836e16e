// Messages without windows: one line each in the event log, answered at once.
#include "platform/messages.h"
#include "support/eventlines.h"
#include "support/messagerecorder.h"

#include <gtest/gtest.h>

TEST(Messages, AreOneLogLineEachWithTheirSentencesJoined)
{
    testsupport::EventLines log;
    platform::Messages messages;
    testsupport::MessageRecorder recorder(messages);
    messages.show(QStringLiteral("Invalid COM port selected"),
                  platform::joinedMessage(QStringLiteral("WARNING ! Chosen COM port is not available"),
                                          QStringLiteral("Select a different COM port on OPTIONS screen")));
    messages.show(QStringLiteral("Settings not saved"), QStringLiteral("first\r\rsecond\rthird\nfourth"));
    EXPECT_EQ(log.lines(), QStringList({
        QStringLiteral("Invalid COM port selected: WARNING ! Chosen COM port is not available / "
                       "Select a different COM port on OPTIONS screen"),
        QStringLiteral("Settings not saved: first / second third fourth"),
    }));
    // Observers still see the station's own text, CRs included.
    ASSERT_EQ(recorder.count(), 2);
    EXPECT_EQ(recorder.messages()[0].text,
              QStringLiteral("WARNING ! Chosen COM port is not available\r\rSelect a different COM port on OPTIONS screen"));
}
