#include "messagerecorder.h"

#include "platform/messages.h"

#include <QTimer>

namespace testsupport {

MessageRecorder::MessageRecorder(platform::Messages& messages)
{
    m_connection = QObject::connect(&messages, &platform::Messages::shown, &messages,
        [this, &messages](const QString& title, const QString& text) {
            m_messages.append({title, text});
            // Answered from inside the box's own event loop, like an operator clicking OK.
            QTimer::singleShot(20, &messages, [&messages] { messages.answerAll(); });
        });
}

MessageRecorder::~MessageRecorder()
{
    QObject::disconnect(m_connection);
}

QStringList MessageRecorder::titles() const
{
    QStringList out;
    for (const auto& m : m_messages)
        out << m.title;
    return out;
}

} // namespace testsupport
