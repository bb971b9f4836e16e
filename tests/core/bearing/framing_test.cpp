#include "core/bearing/bearingfield.h"
#include "core/bearing/sentenceframer.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <vector>

using bearing::calibratedBearing;
using bearing::kMaxSentenceLength;
using bearing::SentenceFramer;

namespace {

// The receiver as the serial handler drives it: reads taken character by character, each complete
// sentence handed on while the buffer holds it, then the receiver back to idle.
struct Receiver
{
    bool arriving = false;
    QString buffer;
    QStringList sentences;

    void read(QStringView text)
    {
        SentenceFramer framer(arriving, buffer);
        for (const QChar c : text) {
            if (!framer.take(c))
                continue;
            sentences << buffer;
            framer.reset();
        }
    }
};

// The calibrated bearings of every sentence in `wire`, read in one piece.
std::vector<std::optional<qint16>> bearings(const QString& wire, qint16 calibration)
{
    Receiver receiver;
    receiver.read(wire);
    std::vector<std::optional<qint16>> out;
    for (const QString& sentence : receiver.sentences)
        out.push_back(calibratedBearing(sentence, calibration));
    return out;
}

using Bearings = std::vector<std::optional<qint16>>;

} // namespace

TEST(BearingSentence, CalibrationAndTheSingleWrapAbove359)
{
    EXPECT_EQ(bearings("%045\r", 0), Bearings{45});
    EXPECT_EQ(bearings("%355\r", 10), Bearings{5});
    EXPECT_EQ(bearings("%360\r", 0), Bearings{0});
    EXPECT_EQ(bearings("%350\r", 359), Bearings{349});
    EXPECT_EQ(bearings("%999\r", 0), Bearings{639}); // one subtraction only
    EXPECT_EQ(bearings("%-05\r", 0), Bearings{-5});  // negatives stay negative
    EXPECT_EQ(bearings("%300\r", 399), Bearings{339});
}

TEST(BearingSentence, FieldIsTheThreeCharactersAfterTheStartReadAsANumber)
{
    EXPECT_EQ(bearings("%\r", 0), Bearings{0});
    EXPECT_EQ(bearings("%\r", 17), Bearings{17}); // no number: the calibration itself
    EXPECT_EQ(bearings("%%45\r", 0), Bearings{0});
    EXPECT_EQ(bearings("%4,x\r", 0), Bearings{4});
    EXPECT_EQ(bearings("%1.5\r", 0), Bearings{2});
    EXPECT_EQ(bearings("%2.5\r", 0), Bearings{2}); // halves to even
    EXPECT_EQ(bearings("%1 2\r", 0), Bearings{12});
    EXPECT_EQ(bearings("%12\r", 0), Bearings{12});
    EXPECT_EQ(bearings("%0451,A,xyz\r", 0), Bearings{45}); // trailing fields ignored
}

TEST(BearingSentence, FieldsTooLargeForABearingAreActivityWithoutABearing)
{
    // Still a sentence each (it restarts the watchdog), but nothing usable, and nothing overflows.
    EXPECT_EQ(bearings("%9E9\r", 0), Bearings{std::nullopt});
    EXPECT_EQ(bearings("%-9E9\r", 0), Bearings{-9}); // the field is "-9E"
    EXPECT_EQ(bearings("%3E4\r", 0), Bearings{29640});
    EXPECT_EQ(bearings("%3E4\r", 3000), Bearings{std::nullopt}); // the sum leaves 16 bits
    EXPECT_EQ(bearings("%3E4\r", -32768), Bearings{-2768});
    EXPECT_EQ(bearings("%-3E4\r", 0), Bearings{-3});
    EXPECT_EQ(calibratedBearing(u"%-327", -32768), std::nullopt);
}

TEST(BearingFraming, NoiseBetweenSentencesIsDroppedAndFurtherStartsBelongToTheSentence)
{
    Receiver r;
    r.read(u"12%045\r");
    r.read(u"\n%046\r\n");
    r.read(u"%045%046\r");
    EXPECT_EQ(r.sentences, (QStringList{"%045\r", "%046\r", "%045%046\r"}));
    EXPECT_FALSE(r.arriving);
    EXPECT_TRUE(r.buffer.isEmpty());
    EXPECT_EQ(bearings("%045\r\n%046\r\n", 0), (Bearings{45, 46}));
    EXPECT_EQ(bearings("%045%046\r", 0), Bearings{45});
    EXPECT_EQ(bearings("xyz\r\r\n", 0), Bearings{}); // no start character, no sentence
}

TEST(BearingFraming, SplitReadsGiveTheSameSentencesAsOneRead)
{
    const QString wire = QStringLiteral("7%045\r\n%1 2\r%046");
    Receiver whole;
    whole.read(wire);
    Receiver single;
    for (const QChar c : wire)
        single.read(QStringView(&c, 1));
    EXPECT_EQ(single.sentences, whole.sentences);
    EXPECT_EQ(single.buffer, QStringLiteral("%046")); // assembling the last one
    EXPECT_TRUE(single.arriving);

    // A read holding CR, "%", "0", "4" ends one sentence and begins the next.
    Receiver r;
    r.read(u"%045");
    EXPECT_TRUE(r.sentences.isEmpty());
    EXPECT_EQ(r.buffer, QStringLiteral("%045"));
    r.read(u"\r%04");
    EXPECT_EQ(r.sentences, QStringList{"%045\r"});
    EXPECT_EQ(r.buffer, QStringLiteral("%04"));
    r.read(u"6\r");
    EXPECT_EQ(r.sentences, (QStringList{"%045\r", "%046\r"}));
    r.read(u"");
    EXPECT_EQ(r.sentences.size(), 2);
}

TEST(BearingFraming, ResetDropsAPartialSentenceAndItsRestUpToTheNextStart)
{
    Receiver r;
    r.read(u"%04");
    SentenceFramer(r.arriving, r.buffer).reset();
    EXPECT_FALSE(r.arriving);
    EXPECT_TRUE(r.buffer.isEmpty());
    r.read(u"5\r%046\r");
    EXPECT_EQ(r.sentences, QStringList{"%046\r"});
}

TEST(BearingFraming, ASentenceThatNeverEndsIsDroppedAtTheLengthBound)
{
    // Exactly at the bound, CR included, a sentence still counts.
    Receiver r;
    r.read(QStringLiteral("%") + QString(kMaxSentenceLength - 2, u'7') + u'\r');
    ASSERT_EQ(r.sentences.size(), 1);
    EXPECT_EQ(r.sentences.first().size(), kMaxSentenceLength);
    EXPECT_EQ(calibratedBearing(r.sentences.first(), 0), 417); // 777 - 360

    // One character more and it is dropped; the receiver waits for the next start.
    Receiver over;
    over.read(QStringLiteral("%") + QString(kMaxSentenceLength - 1, u'7'));
    EXPECT_EQ(over.buffer.size(), kMaxSentenceLength);
    over.read(u"8");
    EXPECT_FALSE(over.arriving);
    EXPECT_TRUE(over.buffer.isEmpty());
    over.read(u"9\r");
    EXPECT_TRUE(over.sentences.isEmpty());
    over.read(u"%045\r");
    EXPECT_EQ(over.sentences, QStringList{"%045\r"});

    // A start character arriving at the bound begins a fresh sentence.
    Receiver restart;
    restart.read(QStringLiteral("%") + QString(kMaxSentenceLength - 1, u'x') + QStringLiteral("%045\r"));
    EXPECT_EQ(restart.sentences, QStringList{"%045\r"});
}

TEST(BearingFraming, AMegabyteOfRandomBytesStaysWithinTheBound)
{
    std::mt19937 random(20240601);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> readSize(1, 1024);
    Receiver r;
    qsizetype longest = 0;
    int total = 0;
    while (total < 1024 * 1024) {
        QByteArray bytes(readSize(random), Qt::Uninitialized);
        for (char& b : bytes)
            b = static_cast<char>(byte(random));
        total += static_cast<int>(bytes.size());
        for (const QChar c : QString::fromLatin1(bytes)) {
            r.read(QStringView(&c, 1));
            longest = std::max(longest, r.buffer.size());
        }
        for (const QString& sentence : std::as_const(r.sentences))
            (void)calibratedBearing(sentence, 399); // any content: a bearing or none, never a fault
        r.sentences.clear();
    }
    EXPECT_LE(longest, kMaxSentenceLength);
    EXPECT_LE(r.buffer.capacity(), 2 * kMaxSentenceLength);

    // The sentence the noise left open ends at the next CR; the one after it is clean.
    r.read(u"\r%045\r");
    ASSERT_FALSE(r.sentences.isEmpty());
    EXPECT_EQ(calibratedBearing(r.sentences.last(), 0), 45);
}
