#include "core/fix/ResetLock.h"

#include "base/Paths.h"
#include "core/UserFolders.h"
#include "core/fix/ResetRecord.h"
#include "ports/Services.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace corvane {

Result<ResetLock, ResetLock::Refusal> ResetLock::tryTake(const std::string& folder) {
    if (Status made = ResetRecords(folder).makeFolder(); !made) {
        return Refusal{Failure::Unusable, made.error().reason};
    }
    const std::string path = appendPathComponent(folder, kFileName);
    // O_CLOEXEC: the tools a reset starts must not hold the lock after Corvane has ended.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return Refusal{Failure::Unusable,
                       "could not open " + path + ": " + std::string(std::strerror(errno))};
    }
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        const int code = errno;
        close(fd);
        if (code == EWOULDBLOCK) {
            return Refusal{Failure::Busy, "Another reset or restore is in progress."};
        }
        return Refusal{Failure::Unusable,
                       "could not lock " + path + ": " + std::string(std::strerror(code))};
    }
    return ResetLock(fd);
}

Result<ResetLock> ResetLock::take(const std::string& folder, Clock& clock,
                                  std::chrono::milliseconds wait,
                                  const std::function<void()>& whileWaiting) {
    const auto deadline = clock.now() + wait;
    for (;;) {
        Result<ResetLock, Refusal> taken = tryTake(folder);
        if (taken) {
            return std::move(*taken);
        }
        if (taken.error().failure != Failure::Busy) {
            return Error{"Nothing was changed: Corvane could not keep a record of it (" +
                         taken.error().reason + ")."};
        }
        if (clock.now() >= deadline) {
            return Error{taken.error().reason};
        }
        if (whileWaiting) {
            whileWaiting();
        }
        clock.sleepFor(std::chrono::milliseconds(100));
    }
}

ResetLock::~ResetLock() {
    if (m_fd >= 0) {
        close(m_fd);
    }
}

} // namespace corvane
