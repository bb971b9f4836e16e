#include "messagebox.h"

#include <QMessageBox>

namespace platform {

MessageBoxes::MessageBoxes(QObject* parent)
    : Messages(parent)
{
}

void MessageBoxes::present(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title, QString(text).replace(u'\r', u'\n'), QMessageBox::Ok, m_window);
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

} // namespace platform
