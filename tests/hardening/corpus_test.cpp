// The fuzz targets' checks over the corpora kept in fuzz/corpus, and the readings the fuzzing found
// wrong, kept as plain cases.
#include "checks.h"

#include "platform/numbertext.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <cmath>

namespace {

using Check = std::string (*)(const std::uint8_t*, std::size_t);

void replay(const char* target, Check check)
{
    const QDir dir(QStringLiteral(TARNVALE_FUZZ_CORPUS "/") + QLatin1String(target));
    const QStringList files = dir.entryList(QDir::Files);
    ASSERT_FALSE(files.isEmpty()) << "no corpus for " << target;
    for (const QString& name : files) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        EXPECT_EQ(check(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())), "")
            << target << "/" << name.toStdString();
    }
}

} // namespace

TEST(FuzzCorpus, SentenceReceiver) { replay("sentence", fuzzcheck::sentence); }
TEST(FuzzCorpus, RequestMatcher) { replay("request", fuzzcheck::request); }
TEST(FuzzCorpus, SettingsReader) { replay("settings", fuzzcheck::settings); }
TEST(FuzzCorpus, NumberFromText) { replay("number", fuzzcheck::number); }
TEST(FuzzCorpus, PeerAnswerReader) { replay("peer", fuzzcheck::peer); }

TEST(FuzzFindings, OutOfRangeNumbersGoTheWayTheirMagnitudeSays)
{
    // Hundreds of digits overflow although the exponent is negative...
    const QString huge = QString(400, u'9') + QStringLiteral("e-14");
    EXPECT_EQ(platform::readNumber(huge), HUGE_VAL);
    EXPECT_EQ(platform::readNumber(u'-' + huge), -HUGE_VAL);
    EXPECT_FALSE(platform::readInt16(huge).has_value()); // a settings line holding it is damage, not 0
    // ...and hundreds of zeros after the point underflow although the exponent is positive.
    const QString tiny = QStringLiteral("0.") + QString(400, u'0') + QStringLiteral("1e5");
    EXPECT_EQ(platform::readNumber(tiny), 0.0);
    EXPECT_EQ(platform::readInt16(tiny), std::optional<qint16>(0));
}
