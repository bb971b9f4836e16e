#pragma once
// The simulated DF unit's send loop: one sentence per period, each byte at the line's pace, noise
// between sentences when asked.

#include "sentences.h"

#include <chrono>
#include <optional>

namespace dfsim {

class BearingSequence;
class Line;
class NoiseGenerator;

struct SendPlan
{
    SentenceFormat format;
    std::chrono::milliseconds period{1000}; // from the start of one sentence to the next
    std::optional<long long> count;         // sentences to send; none: until the bearings run out
    int noiseBytes = 0;                     // between two sentences
};

struct SendOutcome
{
    long long sentences = 0;
    bool stopped = false; // a stop request ended the run
    bool failed = false;  // the line failed
};

// Sentences start one period apart. When the line is still busy with the previous sentence or its
// noise (a short period, a long trailer), the next one follows the last byte directly. When the
// bearings come late (a list typed on standard input), the schedule starts again from their arrival
// rather than sending the missed sentences in a rush.
SendOutcome transmit(const SendPlan& plan, BearingSequence& bearings, NoiseGenerator& noise, Line& line);

} // namespace dfsim
