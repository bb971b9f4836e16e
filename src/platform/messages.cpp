#include "messages.h"

#include "eventlog.h"

namespace platform {

Messages::Messages(QObject* parent)
    : QObject(parent)
{
}

void Messages::show(const QString& title, const QString& text)
{
    logEvent(messageLine(title, text));
    present(title, text);
}

void Messages::present(const QString& title, const QString& text)
{
    emit shown(title, text);
}

QString joinedMessage(const QString& warning, const QString& instruction)
{
    return warning + QStringLiteral("\r\r") + instruction;
}

QString messageLine(const QString& title, const QString& text)
{
    QString line = text;
    line.replace(QStringLiteral("\r\r"), QStringLiteral(" / "));
    line.replace(u'\r', u' ').replace(u'\n', u' ');
    return title + QStringLiteral(": ") + line;
}

} // namespace platform
