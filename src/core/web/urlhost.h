#pragma once
// The station's address as a map viewer's link names it: a host name, an IPv4 address or an IPv6
// address, checked before it goes into a URL, so that a typing error shows now and not as a link
// that silently never loads.

#include <QString>
#include <optional>

namespace web {

// `host` as the authority of an http URL writes it: a host name in ASCII (an internationalised one in
// its "xn--" form), an IPv4 address in dotted decimal, an IPv6 address in brackets (with a zone such as
// "%eth0" written "%25eth0"). An IPv6 address given in brackets is read as a URL has it, its zone
// already escaped ("[fe80::1%25eth0]"), and written the same. Empty, with `error` saying why, when it
// is none of these.
std::optional<QString> urlHost(const QString& host, QString* error = nullptr);

// A refresh interval in seconds, given as digits with an optional fraction ("2", "0.5"), written
// without leading or trailing zeros; empty, with `error` saying why, when it is not a number above 0.
std::optional<QString> refreshSeconds(const QString& seconds, QString* error = nullptr);

} // namespace web
