#include "urlhost.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include <cmath>

namespace web {

namespace {

std::optional<QString> failed(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return std::nullopt;
}

bool isDigits(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    return digits.match(text).hasMatch();
}

std::optional<QString> ipv6Host(QString host, QString* error)
{
    const bool bracketed = host.startsWith(u'[') && host.endsWith(u']');
    if (bracketed)
        host = host.mid(1, host.size() - 2);
    const qsizetype percent = host.indexOf(u'%');
    const QString address = percent < 0 ? host : host.left(percent);
    QString zone = percent < 0 ? QString() : host.mid(percent + 1);
    // In brackets the address is taken as a URL writes it: the zone after "%25", itself escaped
    // ("[fe80::1%25eth0]"). A bare address writes the zone after a plain "%" ("fe80::1%eth0").
    if (bracketed && zone.size() > 2 && zone.startsWith(QStringLiteral("25")))
        zone = QUrl::fromPercentEncoding(zone.mid(2).toUtf8());
    QHostAddress parsed;
    if (!parsed.setAddress(address) || parsed.protocol() != QAbstractSocket::IPv6Protocol)
        return failed(error, QStringLiteral("'%1' is not an IPv6 address").arg(address));
    if (percent >= 0 && zone.isEmpty())
        return failed(error, QStringLiteral("the IPv6 address '%1' names an empty zone").arg(host));
    // A URL writes the zone's "%" as "%25" and escapes anything but the unreserved characters.
    QString written = u'[' + parsed.toString();
    if (!zone.isEmpty())
        written += QStringLiteral("%25") + QString::fromLatin1(QUrl::toPercentEncoding(zone));
    return written + u']';
}

// Four decimal numbers 0 to 255; a leading zero is refused, as some readers take it for octal.
std::optional<QString> ipv4Host(const QString& host, QString* error)
{
    const QStringList parts = host.split(u'.');
    bool valid = parts.size() == 4;
    for (const QString& part : parts) {
        valid = valid && isDigits(part) && part.size() <= 3 && (part.size() == 1 || !part.startsWith(u'0'))
            && part.toInt() <= 255;
    }
    if (!valid)
        return failed(error, QStringLiteral("'%1' is not an IPv4 address (four numbers 0 to 255)").arg(host));
    return host;
}

// Labels of letters, digits and hyphens, 1 to 63 characters each, no hyphen at either end, at most
// 253 characters in all; one trailing dot (a fully qualified name) is kept.
std::optional<QString> hostName(const QString& host, QString* error)
{
    const QString ace = QString::fromLatin1(QUrl::toAce(host));
    QString name = ace;
    if (name.endsWith(u'.'))
        name.chop(1);
    static const QRegularExpression label(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?$"));
    const QStringList labels = name.split(u'.');
    bool valid = !name.isEmpty() && name.size() <= 253;
    for (const QString& part : labels)
        valid = valid && label.match(part).hasMatch();
    if (!valid)
        return failed(error, QStringLiteral("'%1' is not a host name, an IPv4 address or an IPv6 address").arg(host));
    // A name ending in a number would be read as an address by browsers and map viewers.
    if (isDigits(labels.last()))
        return failed(error, QStringLiteral("'%1' is neither a host name (its last part is a number) nor an IPv4 address").arg(host));
    return ace;
}

} // namespace

std::optional<QString> urlHost(const QString& host, QString* error)
{
    if (host.isEmpty())
        return failed(error, QStringLiteral("the host is empty"));
    if (host.count(u':') == 1 && !host.startsWith(u'['))
        return failed(error, QStringLiteral("'%1' is no host: give the name or address alone, the port comes from the settings")
                                 .arg(host));
    if (host.contains(u':') || host.startsWith(u'['))
        return ipv6Host(host, error);
    static const QRegularExpression numeric(QStringLiteral("^[0-9.]+$"));
    if (numeric.match(host).hasMatch())
        return ipv4Host(host, error);
    return hostName(host, error);
}

std::optional<QString> refreshSeconds(const QString& seconds, QString* error)
{
    static const QRegularExpression plain(QStringLiteral("^([0-9]+)(?:\\.([0-9]+))?$"));
    const QRegularExpressionMatch match = plain.match(seconds);
    const auto refused = [&] {
        return failed(error, QStringLiteral("the refresh '%1' is not a number of seconds above 0 (such as 2 or 0.5)")
                                 .arg(seconds));
    };
    if (!match.hasMatch())
        return refused();
    QString whole = match.captured(1);
    QString fraction = match.captured(2);
    while (whole.size() > 1 && whole.startsWith(u'0'))
        whole.remove(0, 1);
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    const QString written = fraction.isEmpty() ? whole : whole + u'.' + fraction;
    const double value = written.toDouble();
    if (!(value > 0) || !std::isfinite(value))
        return refused();
    return written;
}

} // namespace web
