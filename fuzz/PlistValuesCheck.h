#pragma once

// What the plist fuzz targets check on every input: the reader's extraction, run in process,
// prints only what the program that asked accepts, with each value exactly as in the file.
#include "host/posix/PlistBundleReader.h"
#include "host/posix/tools/PlistReaderProtocol.h"
#include "host/posix/tools/PlistReaderValues.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <plist/plist.h>
#include <string>
#include <string_view>

namespace corvane::fuzz {

// The value returned for `key` is the dictionary's string for it, byte for byte.
inline void checkReturnedValue(plist_t root, const char* key,
                               const std::optional<std::string>& returned) {
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

inline void checkReaderOutput(std::string_view infoPlist) {
    namespace reader = plistreader;
    plist_t root = nullptr;
    const std::optional<std::string> printed = reader::readerOutput(infoPlist, root);
    if (printed) {
        const std::optional<BundleInfo> bundle = parsePlistReaderOutput(*printed);
        if (!bundle) {
            std::abort(); // the reader printed something its caller refuses
        }
        checkReturnedValue(root, reader::kIdentifierKey, bundle->identifier);
        checkReturnedValue(root, reader::kIconFileKey, bundle->iconFile);
        checkReturnedValue(root, reader::kShortVersionKey, bundle->shortVersion);
    }
    if (root) {
        plist_free(root);
    }
}

} // namespace corvane::fuzz
