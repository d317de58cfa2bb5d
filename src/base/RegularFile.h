#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace corvane {

// The whole content of the file at `path` when it is a regular file (not a link, pipe or
// device) of at most `maxSize` bytes; none otherwise, or when it cannot be read.
std::optional<std::string> readRegularFile(const std::string& path, std::size_t maxSize);

} // namespace corvane
