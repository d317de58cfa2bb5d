#include "base/RegularFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

std::optional<std::string> readRegularFile(const std::string& path, std::size_t maxSize) {
    // No symlink, and no pipe or device that could block or never end.
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
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

} // namespace corvane
