#include "windows/messagebox.h"
#include "platform/timer.h"
#include "support/messagerecorder.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

using platform::MessageBoxes;

TEST(MessageBoxes, ShowsTheStationsTextAndTitleAndReturnsWhenAnswered)
{
    MessageBoxes boxes;
    testsupport::MessageRecorder recorder(boxes);
    QString shownText;
    QMessageBox::Icon icon = QMessageBox::Warning;
    int buttons = 0;
    // Look at the real box while it waits.
    QTimer::singleShot(5, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                shownText = box->text();
                icon = box->icon();
                buttons = static_cast<int>(box->buttons().size());
            }
        }
    });
    boxes.show(QStringLiteral("Invalid COM port selected"),
               platform::joinedMessage(QStringLiteral("WARNING ! Chosen COM port is not available"),
                                       QStringLiteral("Select a different COM port on OPTIONS screen")));
    ASSERT_EQ(recorder.count(), 1);
    EXPECT_EQ(recorder.messages()[0].title, QStringLiteral("Invalid COM port selected"));
    EXPECT_EQ(recorder.messages()[0].text,
              QStringLiteral("WARNING ! Chosen COM port is not available\r\rSelect a different COM port on OPTIONS screen"));
    EXPECT_EQ(shownText,
              QStringLiteral("WARNING ! Chosen COM port is not available\n\nSelect a different COM port on OPTIONS screen"));
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(boxes.openCount(), 0);
}

TEST(MessageBoxes, KeepEventsFlowingWhileTheyWait)
{
    MessageBoxes boxes;
    testsupport::MessageRecorder recorder(boxes);
    platform::Timer ticker;
    ticker.setInterval(1);
    int ticks = 0;
    QObject::connect(&ticker, &platform::Timer::fired, [&] { ++ticks; });
    ticker.setEnabled(true);
    boxes.show(QStringLiteral("t"), QStringLiteral("x"));
    EXPECT_GT(ticks, 0);
}

TEST(MessageBoxes, AnsweredBeforeTheyWaitDoNotBlock)
{
    // A shutdown signal answers whatever is open, including a box that is only about to wait.
    MessageBoxes boxes;
    QObject::connect(&boxes, &MessageBoxes::shown, [&boxes] { boxes.answerAll(); });
    boxes.show(QStringLiteral("t"), QStringLiteral("x"));
    EXPECT_EQ(boxes.openCount(), 0);
}
