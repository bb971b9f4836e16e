#pragma once
// Every modal message box of the station goes through here: a QMessageBox with no icon, one OK button
// and the station's title, whose text turns the station's CR characters into line breaks. exec()
// keeps timers, sockets and the serial line flowing while it waits.
//
// Tests (and the shutdown on a signal) watch boxes through shown() and answer them with answerAll().

#include <QObject>
#include <QPointer>
#include <QString>
#include <QList>

class QMessageBox;
class QWidget;

namespace platform {

class MessageBoxes : public QObject
{
    Q_OBJECT

public:
    static MessageBoxes& instance();

    // Shows the box modally and returns once it has been answered.
    void show(QWidget* parent, const QString& title, const QString& text);

    // Answers every box that is waiting, as OK.
    void answerAll();

    int openCount() const;

signals:
    // Raised when a box is about to wait for its answer; `text` is the station's text, CRs included.
    void shown(const QString& title, const QString& text);

private:
    MessageBoxes() = default;
    QList<QPointer<QMessageBox>> m_open;
};

// The station's two-sentence message: a warning and an instruction joined by two CR characters.
QString joinedMessage(const QString& warning, const QString& instruction);

} // namespace platform
