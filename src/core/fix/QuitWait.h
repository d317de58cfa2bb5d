#pragma once

#include "ports/Services.h"

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvane {

class RunningApplications;

struct QuitWaitBounds {
    std::chrono::milliseconds pause{100};
    std::chrono::milliseconds limit{10'000};
};

enum class QuitWaitOutcome {
    Quit,         // no instance runs any more
    StillRunning, // the limit passed with an instance still running
    Stopped,      // the user stopped the wait
};

// Told the time left before each pause (a face lets its window take input here); returning
// false stops the wait at once.
using QuitWaitProgress = std::function<bool(std::chrono::milliseconds left)>;

// Asks each running instance with the identifier to quit (once each, and any instance that
// appears while waiting too), then polls until none is left, the limit has passed or `progress`
// stops it.
QuitWaitOutcome quitAndWait(RunningApplications& running, const std::string& identifier,
                            std::vector<pid_t> instances, Clock& clock,
                            const QuitWaitProgress& progress = {},
                            const QuitWaitBounds& bounds = {});

// The real clock: steady time and real sleeps.
Clock& steadyClock();

} // namespace corvane
