// Feeds arbitrary bytes to the plist reader's extraction, in process (see PlistValuesCheck.h).
//
// Inputs are kept small: libplist recurses once per level of nesting, and a long enough input
// would only find that (which is why the reader runs in a process of its own).
#include "PlistValuesCheck.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kMaxInput = 4096;
    if (size <= kMaxInput) {
        corvane::fuzz::checkReaderOutput(
            std::string_view(reinterpret_cast<const char*>(data), size));
    }
    return 0;
}
