#pragma once
// What each fuzz target checks on one input. The same checks run under libFuzzer (fuzz/entry.cpp)
// and over the kept corpora in the test suite (tests/hardening), so a finding stays a test case.
//
// Each returns an empty string when every property held, else a description of the first one that
// did not. Memory and undefined-behaviour faults are left to the sanitizers.

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzcheck {

// Sentence receiver: bytes fed one at a time through the framer, each complete sentence read for its
// calibrated bearing. The first two bytes give the calibration.
std::string sentence(const std::uint8_t* data, std::size_t size);

// Request matcher: the first byte gives a pattern length, the pattern follows, the rest is the text;
// compared with a plain table-driven matcher, and the text also judged as a request arrival.
std::string request(const std::uint8_t* data, std::size_t size);

// Settings reader: the bytes as a settings file; compared with an independent reading of the lines,
// and a file that applies must come back the same after being written and read again.
std::string settings(const std::uint8_t* data, std::size_t size);

// Number read from text: compared with a reading through strtod, and the 16-bit rounding checked.
std::string number(const std::uint8_t* data, std::size_t size);

// Another station's answer (a KML document, a live map's status or page, anything): read for its kind,
// position, line and bearing, each within what a station can serve.
std::string peer(const std::uint8_t* data, std::size_t size);

} // namespace fuzzcheck
