// libFuzzer entry for one check, chosen at build time (FUZZ_CHECK names the function in checks.h).
#include "checks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string failure = fuzzcheck::FUZZ_CHECK(data, size);
    if (!failure.empty()) {
        std::fprintf(stderr, "property failed: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
