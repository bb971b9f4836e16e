#include "messagerecorder.h"

#include "platform/messagebox.h"

#include <QTimer>

namespace testsupport {

MessageRecorder::MessageRecorder()
{
    auto& boxes = platform::MessageBoxes::instance();
    m_connection = QObject::connect(&boxes, &platform::MessageBoxes::shown, &boxes,
        [this](const QString& title, const QString& text) {
            m_messages.append({title, text});
            // Answered from inside the box's own event loop, like an operator clicking OK.
            QTimer::singleShot(20, &platform::MessageBoxes::instance(), [] {
                platform::MessageBoxes::instance().answerAll();
            });
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
