#include "base/RegularFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

int writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return written < 0 ? errno : ENOSPC;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

std::optional<std::string> readRegularFile(const std::string& path, std::size_t maxSize) {
    return readRegularFileAt(AT_FDCWD, path.c_str(), maxSize);
}

std::optional<std::string> readRegularFileAt(int folder, const char* name, std::size_t maxSize) {
    // No symlink, and no pipe or device that could block or never end.
    const int fd = openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    std::optional<std::string> content;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<std::size_t>(info.st_size) <= maxSize) {
        std::string bytes;
        char buffer[65536];
        ssize_t got = 0;
        while ((got = read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
            if (got > 0) {
                bytes.append(buffer, static_cast<std::size_t>(got));
            }
            if (bytes.size() > maxSize) {
                break;
            }
            // All the file held when it was opened: no read is needed to see its end.
            if (bytes.size() == static_cast<std::size_t>(info.st_size)) {
                got = 0;
                break;
            }
        }
        if (got == 0) {
            content = std::move(bytes);
        }
    }
    close(fd);
    return content;
}

std::optional<LinesRead> readRegularFileLines(const std::string& path, std::size_t maxSize,
                                              const std::function<bool(std::string_view)>& line) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::size_t>(info.st_size) > maxSize) {
        close(fd);
        return std::nullopt;
    }
    LinesRead read{info.st_mtim.tv_sec, false, false, false};
    std::string pending;
    char buffer[65536];
    std::size_t total = 0;
    bool failed = false;
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            failed = got < 0;
            break;
        }
        total += static_cast<std::size_t>(got);
        if (total > maxSize) {
            failed = true;
            break;
        }
        std::string_view chunk(buffer, static_cast<std::size_t>(got));
        for (std::size_t end = chunk.find('\n'); end != std::string_view::npos;
             end = chunk.find('\n')) {
            bool more = true;
            if (pending.empty()) {
                more = line(chunk.substr(0, end));
            } else {
                pending.append(chunk.substr(0, end));
                more = line(pending);
                pending.clear();
            }
            read.anyLine = true;
            chunk.remove_prefix(end + 1);
            if (!more) {
                read.stopped = true;
                close(fd);
                return read;
            }
        }
        pending.append(chunk);
    }
    close(fd);
    if (failed) {
        return std::nullopt;
    }
    read.torn = !pending.empty();
    return read;
}

} // namespace corvane
