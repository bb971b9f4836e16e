#pragma once
// Every message the station shows goes through here. Each is one line on standard error (the title,
// then the text with its CR pairs as " / "), so a log shows what an operator would have read. A station
// without windows has nobody to answer it: show() returns at once, as if OK had been pressed. The
// windowed station's boxes (MessageBoxes) wait for their answer while events keep flowing.

#include <QObject>
#include <QString>

namespace platform {

class Messages : public QObject
{
    Q_OBJECT

public:
    explicit Messages(QObject* parent = nullptr);

    // Shows the message and returns once it has been answered.
    void show(const QString& title, const QString& text);

    // Answers every message that waits, as OK (a shutdown signal does this first).
    virtual void answerAll() {}

signals:
    // Raised when a message is about to wait for its answer; `text` keeps its CR characters.
    void shown(const QString& title, const QString& text);

protected:
    // Raises shown() and waits for the answer; nothing waits here.
    virtual void present(const QString& title, const QString& text);
};

// The station's two-sentence message: a warning and an instruction joined by two CR characters.
QString joinedMessage(const QString& warning, const QString& instruction);

// The message as one line: "Invalid COM port selected: WARNING ! ... / Select ...".
QString messageLine(const QString& title, const QString& text);

} // namespace platform
