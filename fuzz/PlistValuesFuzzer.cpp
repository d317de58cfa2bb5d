// Feeds arbitrary bytes to the plist reader's extraction, in process, and checks that whatever
// it prints is accepted by the program that asked, with each value exactly as in the file.
//
// Inputs are kept small: libplist recurses once per level of nesting, and a long enough input
// would only find that (which is why the reader runs in a process of its own).
#include "platform/host/PlistBundleReader.h"
#include "platform/host/tools/PlistReaderProtocol.h"
#include "platform/host/tools/PlistReaderValues.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <plist/plist.h>
#include <string>
#include <string_view>

namespace {

constexpr std::size_t kMaxInput = 4096;

// The value returned for `key` is the dictionary's string for it, byte for byte.
void checkValue(plist_t root, const char* key, const std::optional<std::string>& returned) {
    if (!returned) {
        return;
    }
    const plist_t node = plist_dict_get_item(root, key);
    if (!node || plist_get_node_type(node) != PLIST_STRING) {
        std::abort();
    }
    uint64_t length = 0;
    const char* value = plist_get_string_ptr(node, &length);
    if (!value || std::string_view(value, static_cast<std::size_t>(length)) != *returned) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kMaxInput) {
        return 0;
    }
    namespace reader = corvane::plistreader;
    plist_t root = nullptr;
    const std::optional<std::string> printed =
        reader::readerOutput(std::string_view(reinterpret_cast<const char*>(data), size), root);
    if (printed) {
        const std::optional<corvane::BundleInfo> bundle = corvane::parsePlistReaderOutput(*printed);
        if (!bundle) {
            std::abort(); // the reader printed something its caller refuses
        }
        checkValue(root, reader::kIdentifierKey, bundle->identifier);
        checkValue(root, reader::kIconFileKey, bundle->iconFile);
        checkValue(root, reader::kShortVersionKey, bundle->shortVersion);
    }
    if (root) {
        plist_free(root);
    }
    return 0;
}
