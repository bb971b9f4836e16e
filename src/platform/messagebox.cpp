#include "messagebox.h"

#include <QMessageBox>
#include <QTimer>

namespace platform {

MessageBoxes& MessageBoxes::instance()
{
    static MessageBoxes boxes;
    return boxes;
}

void MessageBoxes::show(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title, QString(text).replace(u'\r', u'\n'), QMessageBox::Ok, parent);
    m_open.append(&box);
    emit shown(title, text);
    // Answered from a shown() handler already: do not wait for anyone.
    if (!box.property("answered").toBool())
        box.exec();
    m_open.removeAll(&box);
}

void MessageBoxes::answerAll()
{
    const auto open = m_open;
    for (const auto& box : open) {
        if (!box)
            continue;
        box->setProperty("answered", true);
        box->setResult(QMessageBox::Ok);
        // Before exec() has started, done() would be lost; the property above covers that case.
        if (box->isVisible())
            box->done(QMessageBox::Ok);
    }
}

int MessageBoxes::openCount() const
{
    return static_cast<int>(m_open.size());
}

QString joinedMessage(const QString& warning, const QString& instruction)
{
    return warning + QStringLiteral("\r\r") + instruction;
}

} // namespace platform
