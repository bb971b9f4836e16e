// The hunt over time: the DF bearings of the last minutes, the newest few hundred, oldest first, as
// the JSON a page opened late draws from.
#include "program/bearinghistory.h"
#include "core/station/stationmodel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <gtest/gtest.h>

using station::BearingHistory;
using station::DrawnBearing;

namespace {

const QDateTime kStart(QDate(2026, 5, 4), QTime(9, 0, 0), Qt::UTC);

DrawnBearing drawn(qint16 degrees, const QDateTime& at, DrawnBearing::Source source = DrawnBearing::Source::Df)
{
    return {source, degrees, 10, QStringLiteral("+34.41852"), QStringLiteral("-119.74167"),
            QStringLiteral("+34.67428"), QStringLiteral("-119.43014"), at};
}

class History : public ::testing::Test
{
protected:
    // The history read back as the page reads it.
    QJsonObject read() const
    {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(history.json(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << history.json().constData();
        return document.object();
    }
    QList<int> bearings() const
    {
        QList<int> degrees;
        for (const QJsonValue& bearing : read().value(QStringLiteral("bearings")).toArray())
            degrees << bearing.toObject().value(QStringLiteral("bearing")).toInt();
        return degrees;
    }

    station::StationModel model;
    BearingHistory history{model, 2};
    QDateTime now = kStart;
};

} // namespace

TEST_F(History, KeepsTheDfBearingsOfItsMinutesOldestFirstEachWithItsTimeBearingAndEnd)
{
    history.setClock([this] { return now; });
    EXPECT_EQ(history.json(), R"({"minutes":2,"bearings":[]})");

    // Drawn with a local time: still told in UTC, to the millisecond.
    model.drawBearing(drawn(47, kStart.addMSecs(417).toTimeZone(QTimeZone(3600))));
    model.drawBearing(drawn(42, kStart.addSecs(1), DrawnBearing::Source::Test)); // says nothing of a transmitter
    model.drawBearing(drawn(47, kStart.addSecs(1))); // the same again counts again
    now = kStart.addSecs(60);
    model.drawBearing(drawn(52, now));

    const QJsonObject json = read();
    EXPECT_EQ(json.value(QStringLiteral("minutes")).toInt(), 2);
    const QJsonArray kept = json.value(QStringLiteral("bearings")).toArray();
    ASSERT_EQ(kept.size(), 3) << history.json().constData();
    const QJsonObject first = kept.at(0).toObject();
    EXPECT_EQ(first.value(QStringLiteral("time")).toString(), QStringLiteral("2026-05-04T09:00:00.417Z"));
    EXPECT_EQ(first.value(QStringLiteral("bearing")).toInt(), 47);
    EXPECT_EQ(first.value(QStringLiteral("end")).toArray(), (QJsonArray{-119.43014, 34.67428}));
    EXPECT_TRUE(history.json().contains(R"("end":[-119.43014,34.67428])")); // the texts' own digits
    EXPECT_EQ(bearings(), (QList<int>{47, 47, 52}));

    // Time passes without a bearing: those beyond the window are gone when asked; exactly at its edge
    // one still counts.
    now = kStart.addSecs(121);
    EXPECT_EQ(bearings(), (QList<int>{47, 52}));
    now = kStart.addSecs(180);
    EXPECT_EQ(bearings(), (QList<int>{52}));
    now = kStart.addSecs(181);
    EXPECT_EQ(bearings(), QList<int>{});

    // Old bearings arriving late (a clock set back) are never served beyond the window either.
    model.drawBearing(drawn(10, kStart));
    EXPECT_EQ(bearings(), QList<int>{});
}

TEST_F(History, KeepsOnlyTheNewestThreeHundred)
{
    history.setClock([this] { return now; });
    for (int i = 0; i < BearingHistory::kMaxBearings + 20; ++i)
        model.drawBearing(drawn(static_cast<qint16>(i), kStart.addMSecs(100 * i)));
    now = kStart.addSecs(40);
    const QList<int> kept = bearings();
    ASSERT_EQ(kept.size(), BearingHistory::kMaxBearings);
    EXPECT_EQ(kept.front(), 20);
    EXPECT_EQ(kept.back(), BearingHistory::kMaxBearings + 19);
}
