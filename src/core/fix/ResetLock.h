#pragma once

#include "base/Result.h"

#include <string>
#include <utility>

namespace corvane {

// One reset or restore at a time per home: an exclusive lock on a file in the records' folder.
// The file is never removed, so two runs can never lock two different files of one name.
class ResetLock {
public:
    static constexpr const char* kFileName = "lock";

    enum class Failure { Busy, Unusable };
    struct Refusal {
        Failure failure;
        std::string reason;
    };

    // Takes the lock without waiting, making the folder when missing.
    static Result<ResetLock, Refusal> tryTake(const std::string& folder);

    ResetLock(ResetLock&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    ResetLock& operator=(ResetLock&& other) noexcept {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ResetLock(const ResetLock&) = delete;
    ~ResetLock();

private:
    explicit ResetLock(int fd) : m_fd(fd) {}
    int m_fd;
};

} // namespace corvane
