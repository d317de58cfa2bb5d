#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// The whole content of the file at `path` when it is a regular file (not a link, pipe or
// device) of at most `maxSize` bytes; none otherwise, or when it cannot be read.
std::optional<std::string> readRegularFile(const std::string& path, std::size_t maxSize);
// The same for `name` inside the folder open as `folder` (or AT_FDCWD).
std::optional<std::string> readRegularFileAt(int folder, const char* name, std::size_t maxSize);

// Writes all of `bytes` to `fd`, again after an interruption or a short write: 0 once all are
// written, else the errno of the failure (ENOSPC where the descriptor takes no more).
int writeAll(int fd, std::string_view bytes);

// How a file read line by line ended.
struct LinesRead {
    std::int64_t modifiedSeconds = 0; // when the file was last written
    bool stopped = false;             // `line` asked to stop
    bool torn = false;                // bytes after the last newline were left out
    bool anyLine = false;             // at least one whole line was read
};

// Hands each whole line of the file (without its newline) to `line`, which returns false to
// stop, under the same conditions as readRegularFile; bytes after the last newline are not a
// line. Only a buffer's worth of the file is held at a time.
std::optional<LinesRead> readRegularFileLines(const std::string& path, std::size_t maxSize,
                                              const std::function<bool(std::string_view)>& line);

} // namespace corvane
