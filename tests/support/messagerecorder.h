#pragma once
// Records every message the station shows and answers it (OK) once it waits, so that events keep
// flowing while a box is open, as they do for an operator.

#include <QMetaObject>
#include <QString>
#include <QStringList>

namespace platform {
class Messages;
}

namespace testsupport {

struct ShownMessage
{
    QString title;
    QString text;
};

class MessageRecorder
{
public:
    explicit MessageRecorder(platform::Messages& messages);
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    const QList<ShownMessage>& messages() const { return m_messages; }
    int count() const { return static_cast<int>(m_messages.size()); }
    QStringList titles() const;

private:
    QList<ShownMessage> m_messages;
    QMetaObject::Connection m_connection;
};

} // namespace testsupport
