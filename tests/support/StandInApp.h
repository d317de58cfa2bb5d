#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>

namespace corvane::testing {

// The stand-in program copied into `<folder>/<name>.app/Contents/MacOS/<name>`, with an
// Info.plist that carries the identifier.
class StandInBundle {
public:
    StandInBundle(const std::string& folder, const std::string& name,
                  const std::string& identifier);
    const std::string& bundlePath() const { return m_bundle; }
    const std::string& executable() const { return m_executable; }

private:
    std::string m_bundle;
    std::string m_executable;
};

// One running instance of a stand-in, started and ready; killed and reaped when destroyed.
class StandInProcess {
public:
    explicit StandInProcess(const std::string& executable, bool ignoresQuitRequest = false);
    ~StandInProcess();
    StandInProcess(const StandInProcess&) = delete;
    StandInProcess& operator=(const StandInProcess&) = delete;

    pid_t pid() const { return m_pid; }
    // Reaps the process if it has ended; true once it has.
    bool hasEnded();
    // Waits up to `limit` for the process to end.
    bool waitForEnd(std::chrono::milliseconds limit);

private:
    pid_t m_pid = -1;
    bool m_ended = false;
};

} // namespace corvane::testing
