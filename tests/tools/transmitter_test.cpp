// The send loop against a line with a clock of its own: every byte's time is exact, so the schedule
// is checked without waiting.
#include "bearingsequence.h"
#include "line.h"
#include "noisegenerator.h"
#include "transmitter.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace dfsim;
using namespace std::chrono_literals;

namespace {

class VirtualLine : public Line
{
public:
    Clock::time_point now() override { return m_now; }
    bool sleepUntil(Clock::time_point when) override
    {
        m_now = std::max(m_now, when);
        return !(stopAfterBytes >= 0 && static_cast<int>(bytes.size()) >= stopAfterBytes);
    }
    bool writeByte(char byte) override
    {
        if (failAtByte == static_cast<int>(bytes.size()))
            return false;
        bytes += byte;
        times.push_back(m_now - start);
        if (static_cast<int>(bytes.size()) == slowByte)
            m_now += delay; // one write held up by the system
        return true;
    }
    bool stopRequested() override { return false; }
    std::string errorText() const override { return "broken"; }

    const Clock::time_point start = Clock::time_point() + 1000s;
    std::string bytes;
    std::vector<Clock::duration> times; // of each byte, from the start
    int slowByte = -1; // the write that is held up, counted from 1
    Clock::duration delay = 30ms;
    int stopAfterBytes = -1;
    int failAtByte = -1;

private:
    Clock::time_point m_now = start;
};

// The time of byte k of a burst at 480 bytes a second, as the clock computes it.
Clock::duration byteTime(long long k)
{
    return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(k * 1'000'000'000 / 480));
}

SendOutcome run(VirtualLine& line, BearingSequence bearings, SendPlan plan, std::uint32_t seed = 1)
{
    NoiseGenerator noise(seed);
    return transmit(plan, bearings, noise, line);
}

} // namespace

TEST(Transmitter, PacesEachByteAndStartsSentencesOnePeriodApart)
{
    VirtualLine line;
    SendPlan plan;
    plan.period = 100ms;
    plan.count = 3;
    plan.format.trailer = "/7";
    const SendOutcome outcome = run(line, BearingSequence::sweep(358, 1), plan);
    EXPECT_EQ(outcome.sentences, 3);
    EXPECT_FALSE(outcome.stopped || outcome.failed);
    EXPECT_EQ(line.bytes, "%358/7\r%359/7\r%000/7\r");
    for (int sentence = 0; sentence < 3; ++sentence)
        for (int k = 0; k < 7; ++k)
            EXPECT_EQ(line.times[static_cast<size_t>(sentence * 7 + k)], sentence * 100ms + byteTime(k));
}

TEST(Transmitter, ALongSentenceOrNoNeedsTheLineAndFollowsDirectly)
{
    // Period 0: back to back, one continuous byte stream, as fast as 4800 baud allows.
    VirtualLine line;
    SendPlan plan;
    plan.period = 0ms;
    plan.count = 4;
    plan.format.lineFeed = true;
    run(line, BearingSequence::fixed(45), plan);
    ASSERT_EQ(line.bytes.size(), 24u);
    for (size_t k = 0; k < line.times.size(); ++k)
        EXPECT_EQ(line.times[k], byteTime(static_cast<long long>(k))) << k;

    // A trailer longer than the period: each sentence starts when the previous one has left.
    VirtualLine slow;
    plan.period = 10ms; // 5 bytes
    plan.count = 2;
    plan.format = {"/quality 7", false}; // 15 bytes
    run(slow, BearingSequence::fixed(1), plan);
    ASSERT_EQ(slow.times.size(), 30u);
    EXPECT_EQ(slow.times[15], byteTime(15));
}

TEST(Transmitter, NoiseGoesBetweenSentencesAndLeavesThemIntact)
{
    VirtualLine line;
    SendPlan plan;
    plan.period = 1000ms;
    plan.count = 3;
    plan.noiseBytes = 40;
    run(line, BearingSequence::fixed(123), plan, 77);
    NoiseGenerator same(77);
    const std::string first = same.bytes(40);
    const std::string second = same.bytes(40);
    EXPECT_EQ(line.bytes, "%123\r" + first + "%123\r" + second + "%123\r");
    // Noise follows the sentence at once; the next sentence still keeps its slot.
    EXPECT_EQ(line.times[5], byteTime(5));
    EXPECT_EQ(line.times[45], 1000ms);
}

TEST(Transmitter, AHeldUpWriteDoesNotShiftTheScheduleButLateInputRestartsIt)
{
    VirtualLine line;
    line.slowByte = 2;
    SendPlan plan;
    plan.period = 50ms;
    plan.count = 3;
    run(line, BearingSequence::fixed(9), plan);
    EXPECT_EQ(line.times[2], byteTime(1) + 30ms); // late, then catching up ...
    EXPECT_EQ(line.times[5], 50ms);               // ... so the next sentences keep their slots
    EXPECT_EQ(line.times[10], 100ms);

    // A list whose lines arrive late: no rush of missed sentences, the period counts from arrival.
    VirtualLine late;
    late.slowByte = 5; // the end of the first sentence: stands for a long wait on the next line
    late.delay = 100ms;
    plan.period = 20ms;
    plan.count = std::nullopt;
    std::istringstream text("1\n2\n3\n");
    run(late, BearingSequence::list(text, nullptr, false), plan);
    EXPECT_EQ(late.bytes, "%001\r%002\r%003\r");
    const auto restart = late.times[5];
    EXPECT_EQ(restart, byteTime(4) + 100ms);
    EXPECT_EQ(late.times[10], restart + 20ms);
}

TEST(Transmitter, EndsAtTheCountAtTheEndOfAListOnStopAndOnFailure)
{
    VirtualLine counted;
    SendPlan plan;
    plan.period = 0ms;
    plan.count = 2;
    EXPECT_EQ(run(counted, BearingSequence::sweep(0, 90), plan).sentences, 2);
    EXPECT_EQ(counted.bytes, "%000\r%090\r");

    VirtualLine listed;
    plan.count = 10;
    std::istringstream text("7\n");
    EXPECT_EQ(run(listed, BearingSequence::list(text, nullptr, false), plan).sentences, 1);

    VirtualLine stopped;
    stopped.stopAfterBytes = 7;
    plan.count = std::nullopt;
    const SendOutcome stop = run(stopped, BearingSequence::fixed(5), plan);
    EXPECT_TRUE(stop.stopped);
    EXPECT_FALSE(stop.failed);
    EXPECT_EQ(stopped.bytes, "%005\r%0");

    VirtualLine broken;
    broken.failAtByte = 3;
    const SendOutcome failure = run(broken, BearingSequence::fixed(5), plan);
    EXPECT_TRUE(failure.failed);
    EXPECT_EQ(failure.sentences, 0);
}
