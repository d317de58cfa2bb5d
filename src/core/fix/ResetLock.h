#pragma once

#include "base/Result.h"

#include <chrono>
#include <functional>
#include <string>
#include <utility>

namespace corvane {

class Clock;

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

    // Takes the lock, trying again every 100 ms for up to `wait` while another run holds it;
    // `whileWaiting` is called between tries. The error says in plain words why it was not taken.
    static Result<ResetLock> take(const std::string& folder, Clock& clock,
                                  std::chrono::milliseconds wait,
                                  const std::function<void()>& whileWaiting = {});

private:
    explicit ResetLock(int fd) : m_fd(fd) {}
    int m_fd;
};

} // namespace corvane
