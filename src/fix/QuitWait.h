#pragma once

#include "platform/Services.h"

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvane {

class RunningApplications;

struct QuitWaitBounds {
    std::chrono::milliseconds pause{100};
    std::chrono::milliseconds limit{10'000};
};

// Asks each running instance with the identifier to quit (once each, and any instance that
// appears while waiting too), then polls until none is left or the limit has passed. The window
// keeps repainting between polls. True when no instance runs any more.
bool quitAndWait(RunningApplications& running, const std::string& identifier,
                 std::vector<pid_t> instances, Clock& clock, Application* application,
                 const QuitWaitBounds& bounds = {});

// The real clock: steady time and real sleeps.
Clock& steadyClock();

} // namespace corvane
