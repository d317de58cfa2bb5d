#pragma once

#include <optional>
#include <plist/plist.h>
#include <string>
#include <string_view>

namespace corvane::plistreader {

// Parses the bytes of an Info.plist and returns what the reader prints for it: the header line,
// a line for each known key whose value is a usable string, and the end line. None when the
// bytes are no plist or their top object is no dictionary. `root` receives the parsed tree (or
// null); the caller frees it, or leaves it to the end of the process.
std::optional<std::string> readerOutput(std::string_view data, plist_t& root);

} // namespace corvane::plistreader
