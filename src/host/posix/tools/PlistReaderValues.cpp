#include "PlistReaderValues.h"

#include "PlistReaderProtocol.h"
#include "base/Text.h"

#include <cstdint>

namespace corvane::plistreader {

namespace {

// A value that fits on its line of the output. One that is not UTF-8 (a binary plist may hold
// any bytes) is left out like any other unusable value: the caller refuses such output whole.
bool isPrintable(const char* text, std::size_t length) {
    if (length > kMaxValueSize) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == '\n' || text[i] == '\t' || text[i] == '\r' || text[i] == '\0') {
            return false;
        }
    }
    return corvane::isValidUtf8(std::string_view(text, length));
}

} // namespace

std::optional<std::string> readerOutput(std::string_view data, plist_t& root) {
    root = nullptr;
    if (data.empty() || data.size() > kMaxFileSize) {
        return std::nullopt;
    }
    plist_from_memory(data.data(), static_cast<uint32_t>(data.size()), &root);
    if (!root || plist_get_node_type(root) != PLIST_DICT) {
        return std::nullopt;
    }

    std::string out = std::string(kHeaderLine) + "\n";
    for (const char* key : kKeys) {
        const plist_t node = plist_dict_get_item(root, key);
        if (!node || plist_get_node_type(node) != PLIST_STRING) {
            continue;
        }
        uint64_t length = 0;
        const char* value = plist_get_string_ptr(node, &length);
        if (value && isPrintable(value, static_cast<std::size_t>(length))) {
            out += key;
            out += '\t';
            out.append(value, static_cast<std::size_t>(length));
            out += '\n';
        }
    }
    out += kEndLine;
    out += '\n';
    return out;
}

} // namespace corvane::plistreader
