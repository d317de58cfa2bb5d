#include "base/BackgroundRemovals.h"

#include <algorithm>
#include <system_error>
#include <unistd.h>

namespace corvane {

BackgroundRemovals::BackgroundRemovals(int threads, std::size_t maxPending)
    : m_threadCount(threads), m_maxPending(maxPending) {}

BackgroundRemovals::~BackgroundRemovals() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_work.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

void BackgroundRemovals::remove(std::string path) {
    std::unique_lock lock(m_mutex);
    if (m_threads.empty() && !m_noThreads) {
        try {
            for (int i = 0; i < m_threadCount; ++i) {
                m_threads.emplace_back([this] { work(); });
            }
        } catch (const std::system_error&) {
            m_noThreads = m_threads.empty();
        }
    }
    if (m_noThreads) {
        lock.unlock();
        unlink(path.c_str());
        return;
    }
    m_room.wait(lock, [this] { return m_pending.size() < m_maxPending; });
    m_pending.push_back(std::move(path));
    // A thread is woken for a batch, not for every file: each wake is a system call here and a
    // switch of threads there. A thread already at work takes the rest without one.
    const bool wake = m_pending.size() >= std::min(kWakeBatch, m_maxPending);
    lock.unlock();
    if (wake) {
        m_work.notify_one();
    }
}

void BackgroundRemovals::wait() {
    std::unique_lock lock(m_mutex);
    m_work.notify_all(); // for a last batch too small to have woken anyone
    m_room.wait(lock, [this] { return m_pending.empty() && m_busy == 0; });
}

void BackgroundRemovals::work() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        // What is still queued at the end is removed before the thread stops.
        m_work.wait(lock, [this] { return m_stopping || !m_pending.empty(); });
        if (m_pending.empty()) {
            return;
        }
        const std::string path = std::move(m_pending.front());
        m_pending.pop_front();
        ++m_busy;
        lock.unlock();
        m_room.notify_all();
        unlink(path.c_str());
        lock.lock();
        --m_busy;
        if (m_pending.empty() && m_busy == 0) {
            m_room.notify_all();
        }
    }
}

} // namespace corvane
