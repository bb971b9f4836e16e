#pragma once
// The windowed station's messages: a QMessageBox with no icon, one OK button and the station's title,
// whose text turns the station's CR characters into line breaks. exec() keeps timers, sockets and the
// serial line flowing while it waits. Tests (and a shutdown signal) answer boxes with answerAll().

#include "platform/messages.h"

#include <QList>
#include <QPointer>

class QMessageBox;
class QWidget;

namespace platform {

class MessageBoxes : public Messages
{
    Q_OBJECT

public:
    explicit MessageBoxes(QObject* parent = nullptr);

    // The window the boxes belong to.
    void setWindow(QWidget* window) { m_window = window; }

    void answerAll() override;
    int openCount() const { return static_cast<int>(m_open.size()); }

protected:
    void present(const QString& title, const QString& text) override;

private:
    QPointer<QWidget> m_window;
    QList<QPointer<QMessageBox>> m_open;
};

} // namespace platform
