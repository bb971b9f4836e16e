// Request recognition beyond the forms whose answers responses_test checks on the wire.
#include "core/web/request.h"

#include <gtest/gtest.h>

using web::isDocumentRequest;
using web::matchesPattern;

TEST(Request, OnlyAGetOfHttp1xIsAskingForTheDocument)
{
    EXPECT_TRUE(isDocumentRequest(u"GET / HTTP/1.0"));             // no line end needed
    EXPECT_TRUE(isDocumentRequest(u"GET /a HTTP/1.0 HTTP/2.0"));   // the last occurrence may serve

    EXPECT_FALSE(isDocumentRequest(u"POST / HTTP/1.0\r\n\r\n"));
    EXPECT_FALSE(isDocumentRequest(u" GET / HTTP/1.0"));
    EXPECT_FALSE(isDocumentRequest(u"GET /"));
    EXPECT_FALSE(isDocumentRequest(u""));
}

TEST(Request, WildcardsMatchRunsAcrossLineEndsAndSingleCharacters)
{
    EXPECT_TRUE(matchesPattern(u"", u"*"));
    EXPECT_TRUE(matchesPattern(u"a\r\nb", u"a*b"));
    EXPECT_TRUE(matchesPattern(u"abcbd", u"a*bd"));
    EXPECT_FALSE(matchesPattern(u"abcbe", u"a*bd"));
    EXPECT_TRUE(matchesPattern(u"ab", u"a?"));
    EXPECT_FALSE(matchesPattern(u"a", u"a?"));
    EXPECT_FALSE(matchesPattern(u"abc", u"a?"));
    EXPECT_FALSE(matchesPattern(u"A", u"a"));

    // A long arrival full of near misses is still judged (and quickly).
    QString hostile = QStringLiteral("GET ") + QString(200000, QLatin1Char(' ')) + QStringLiteral(" HTTP/1");
    for (int i = 0; i < 2000; ++i)
        hostile += QStringLiteral(" HTTP/1");
    EXPECT_FALSE(isDocumentRequest(hostile));
    EXPECT_TRUE(isDocumentRequest(hostile + QStringLiteral(".1")));
}
