#include "base/KillPoint.h"

#ifdef CORVANE_KILL_POINTS
#include <atomic>
#include <csignal>
#include <cstdlib>
#endif

namespace corvane {

void killPoint() {
#ifdef CORVANE_KILL_POINTS
    static std::atomic<long> left = [] {
        const char* at = std::getenv("CORVANE_KILL_AT");
        return at ? std::strtol(at, nullptr, 10) : -1L;
    }();
    if (left.load() > 0 && --left == 0) {
        std::raise(SIGKILL);
    }
#endif
}

} // namespace corvane
