#pragma once
// Growth of the arrays that hold one record per channel. The records are never removed, so whatever
// room an array keeps beyond them stays with the process after a burst: doubling would keep up to
// as much again (a burst of 19,800 channels left room for 32,768). Growing by an eighth keeps that
// room small, and costs a move of the records only while new channels are being made.

#include <cstddef>
#include <vector>

namespace platform {

// Room for `count` records in all.
template <typename Record>
void reserveRecords(std::vector<Record>& records, std::size_t count)
{
    if (count > records.capacity())
        records.reserve(count + count / 8 + 16);
}

} // namespace platform
