#pragma once
// Where the simulated DF unit's bytes go, and the clock they are paced by. The real one is a serial
// device or a pseudo-terminal; tests give one with a clock of their own.

#include "byteclock.h"

#include <string>

namespace dfsim {

class Line
{
public:
    virtual ~Line() = default;

    virtual Clock::time_point now() = 0;
    // Returns false when the run should stop (a signal arrived) instead of waiting on.
    virtual bool sleepUntil(Clock::time_point when) = 0;
    // Returns false when the line failed; errorText() then says why.
    virtual bool writeByte(char byte) = 0;
    virtual bool stopRequested() = 0;
    virtual std::string errorText() const = 0;
};

} // namespace dfsim
