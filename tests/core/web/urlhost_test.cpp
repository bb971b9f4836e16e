// The station's address and refresh as they go into a map viewer's link: what is refused, and how what
// is accepted is written in the URL.
#include "core/web/urlhost.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

struct Written
{
    const char* given;
    const char* written;
};

TEST(UrlHost, NamesAndAddressesAreWrittenAsAUrlNeedsThem)
{
    const Written cases[] = {
        {"localhost", "localhost"},
        {"df-base.example", "df-base.example"},
        {"DF-Base.Example", "df-base.example"},            // names are not case-sensitive
        {"station.example.", "station.example."},          // a fully qualified name keeps its dot
        {"m\u00fcnchen.example", "xn--mnchen-3ya.example"}, // internationalised: its ASCII form
        {"192.168.1.20", "192.168.1.20"},
        {"0.0.0.0", "0.0.0.0"},
        {"255.255.255.255", "255.255.255.255"},
        {"::1", "[::1]"},
        {"[::1]", "[::1]"},
        {"2001:DB8:0:0:0:0:0:1", "[2001:db8::1]"},
        {"::ffff:192.0.2.1", "[::ffff:192.0.2.1]"},
        {"fe80::1%eth0", "[fe80::1%25eth0]"},              // the zone's "%" is written "%25"
        {"fe80::1%a&b<c", "[fe80::1%25a%26b%3Cc]"},        // and nothing of it stays raw
        {"[fe80::1%25eth0]", "[fe80::1%25eth0]"},          // in brackets, as a URL has it: escaped once
        {"[fe80::1%25a%26b]", "[fe80::1%25a%26b]"},
        {"[fe80::1%eth0]", "[fe80::1%25eth0]"},
        {"a1.b-2.c3", "a1.b-2.c3"},
    };
    for (const auto& [given, written] : cases) {
        QString why;
        const auto host = web::urlHost(QString::fromUtf8(given), &why);
        ASSERT_TRUE(host.has_value()) << given << ": " << why.toStdString();
        EXPECT_EQ(*host, QString::fromLatin1(written)) << given;
    }
}

TEST(UrlHost, AnythingElseIsRefusedWithAReason)
{
    const char* const refused[] = {
        "",
        " ",
        "two words",
        "a&b",                 // would need escaping: not a host name at all
        "<station>",
        "under_score.example",
        "-leading.example",
        "trailing-.example",
        "double..dot",
        ".",
        "1.2.3",               // a number, but no IPv4 address
        "256.1.1.1",
        "01.2.3.4",            // a leading zero reads as octal to some
        "1.2.3.4.5",
        "station.123",         // a name ending in a number is read as an address
        "::g",
        "[::1",
        "fe80::1%",
        "1.2.3.4:80",          // a port belongs to the settings, not the host
        "http://station",
    };
    for (const char* host : refused) {
        QString why;
        EXPECT_FALSE(web::urlHost(QString::fromUtf8(host), &why).has_value()) << '"' << host << '"';
        EXPECT_FALSE(why.isEmpty()) << host;
    }
    // 63 characters make the longest label, 253 the longest name.
    const QString label63(63, u'a');
    EXPECT_TRUE(web::urlHost(label63 + QStringLiteral(".example")).has_value());
    EXPECT_FALSE(web::urlHost(label63 + u'a' + QStringLiteral(".example")).has_value());
    const QString three = QStringList(3, label63).join(u'.');
    EXPECT_TRUE(web::urlHost(three + u'.' + QString(61, u'c')).has_value()); // 253 characters
    EXPECT_FALSE(web::urlHost(three + u'.' + QString(62, u'c')).has_value());
}

TEST(RefreshSeconds, PlainPositiveNumbersAreWrittenWithoutSpareZeros)
{
    const Written accepted[] = {{"2", "2"}, {"0.5", "0.5"}, {"02.50", "2.5"}, {"10", "10"}, {"1.0", "1"},
                                {"0.001", "0.001"}, {"3600", "3600"}};
    for (const auto& [given, written] : accepted)
        EXPECT_EQ(web::refreshSeconds(QString::fromLatin1(given)).value_or(QStringLiteral("refused")),
                  QString::fromLatin1(written))
            << given;
    const char* const refused[] = {"0", "0.0", "000", "-1", "+2", "", " 2", "2 ", "two", "1e3", ".5", "5.", "2,5",
                                   "inf", "nan", "0x10"};
    for (const char* seconds : refused) {
        QString why;
        EXPECT_FALSE(web::refreshSeconds(QString::fromLatin1(seconds), &why).has_value()) << '"' << seconds << '"';
        EXPECT_TRUE(why.contains(QStringLiteral("seconds"))) << why.toStdString();
    }
    // Too many digits for any number of seconds.
    EXPECT_FALSE(web::refreshSeconds(QString(400, u'9')).has_value());
}

} // namespace
