#include "core/fix/QuitWait.h"

#include "ports/Processes.h"

#include <set>
#include <thread>

namespace corvane {

namespace {

class SteadyClock : public Clock {
public:
    std::chrono::steady_clock::time_point now() const override {
        return std::chrono::steady_clock::now();
    }
    void sleepFor(std::chrono::milliseconds duration) override {
        std::this_thread::sleep_for(duration);
    }
};

} // namespace

Clock& steadyClock() {
    static SteadyClock clock;
    return clock;
}

QuitWaitOutcome quitAndWait(RunningApplications& running, const std::string& identifier,
                            std::vector<pid_t> instances, Clock& clock,
                            const QuitWaitProgress& progress, const QuitWaitBounds& bounds) {
    const auto deadline = clock.now() + bounds.limit;
    // One request per instance: a second one would not make an instance that declines quit,
    // and could cut short the clean-up of one that is quitting.
    std::set<pid_t> asked;
    while (!instances.empty()) {
        for (const pid_t pid : instances) {
            if (asked.insert(pid).second) {
                running.terminate(pid);
            }
        }
        const auto now = clock.now();
        if (now >= deadline) {
            return QuitWaitOutcome::StillRunning;
        }
        if (progress &&
            !progress(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now))) {
            return QuitWaitOutcome::Stopped;
        }
        clock.sleepFor(bounds.pause);
        // A look that cannot tell keeps the instances as still running.
        if (Result<std::vector<pid_t>> looked = running.withBundleIdentifier(identifier)) {
            instances = std::move(*looked);
        }
    }
    return QuitWaitOutcome::Quit;
}

} // namespace corvane
