#include "transmitter.h"

#include "bearingsequence.h"
#include "byteclock.h"
#include "line.h"
#include "noisegenerator.h"

namespace dfsim {

namespace {

// Writes bytes one by one, each at its time on the line. False when stopped or failed.
bool sendPaced(const std::string& bytes, ByteClock& clock, Line& line, SendOutcome& outcome)
{
    for (const char byte : bytes) {
        if (!line.sleepUntil(clock.nextByteTime())) {
            outcome.stopped = true;
            return false;
        }
        if (!line.writeByte(byte)) {
            outcome.stopped = line.stopRequested();
            outcome.failed = !outcome.stopped;
            return false;
        }
        clock.byteSent();
    }
    return true;
}

} // namespace

SendOutcome transmit(const SendPlan& plan, BearingSequence& bearings, NoiseGenerator& noise, Line& line)
{
    SendOutcome outcome;
    ByteClock clock;
    Clock::time_point slot{};
    const auto period = std::chrono::duration_cast<Clock::duration>(plan.period);

    while (!plan.count || outcome.sentences < *plan.count) {
        const std::optional<int> bearing = bearings.next();
        if (!bearing) {
            outcome.stopped = line.stopRequested(); // a signal may have cut a read short
            return outcome;
        }
        const Clock::time_point ready = line.now();
        if (outcome.sentences == 0) {
            slot = ready;
        } else {
            slot += period;
            if (ready > slot + period)
                slot = ready;
            clock.startBurstAt(ready);
            if (!sendPaced(noise.bytes(plan.noiseBytes), clock, line, outcome))
                return outcome;
        }
        clock.startBurstAt(slot);
        if (!sendPaced(buildSentence(*bearing, plan.format), clock, line, outcome))
            return outcome;
        ++outcome.sentences;
    }
    // The last byte still needs its time on the line before the unit falls silent.
    outcome.stopped = !line.sleepUntil(clock.nextByteTime());
    return outcome;
}

} // namespace dfsim
