#pragma once

#include "ports/Processes.h"
#include "ports/Services.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace corvane::testing {

// One tool run as the launcher saw it: the launch path followed by the arguments.
using ToolRun = std::vector<std::string>;

// Records every tool run. By default "/bin/rm -rf P" removes P as the tool would (a symlink as
// a link), every other tool prints nothing and exits 0; `outputs` scripts other answers.
class RecordingLauncher : public ProcessLauncher {
public:
    Result<ProcessOutput> run(const std::string& launchPath,
                              const std::vector<std::string>& arguments) override;

    bool isInstalled(const std::string& launchPath) const override {
        return missing.count(launchPath) == 0;
    }

    std::vector<ToolRun> runs;
    std::map<ToolRun, Result<ProcessOutput>> outputs;
    std::set<std::string> missing; // tools the host lacks
    bool removes = true;
    std::vector<std::string>* events = nullptr; // shared with other doubles to check order
};

// A host that starts no process, as a face without a launcher would: every run fails and no tool
// is installed.
class NoProcessLauncher : public ProcessLauncher {
public:
    Result<ProcessOutput> run(const std::string& launchPath,
                              const std::vector<std::string>& arguments) override;
    bool isInstalled(const std::string&) const override { return false; }
};

// Running instances per identifier. An instance asked to quit is gone from the next query on,
// unless it is stubborn.
class ScriptedRunningApplications : public RunningApplications {
public:
    Result<std::vector<pid_t>> withBundleIdentifier(const std::string& identifier) const override;
    void terminate(pid_t pid) override;

    std::map<std::string, std::vector<pid_t>> running;
    std::optional<std::string> unreadable; // set: the look cannot tell, for this reason
    std::set<pid_t> stubborn;
    std::vector<pid_t> terminated;
    mutable int queries = 0;
    std::vector<std::string>* events = nullptr;
};

// Time that passes only when slept.
class FakeClock : public Clock {
public:
    std::chrono::steady_clock::time_point now() const override { return m_now; }
    void sleepFor(std::chrono::milliseconds duration) override {
        m_now += duration;
        sleeps.push_back(duration);
    }
    std::chrono::milliseconds elapsed() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(m_now - m_start);
    }
    std::vector<std::chrono::milliseconds> sleeps;

private:
    std::chrono::steady_clock::time_point m_start{};
    std::chrono::steady_clock::time_point m_now{};
};

// Real time, but each sleep counts `factor` times: a 10 s bound passes in a second of real
// waiting, while real processes get real time to end.
class HurriedClock : public Clock {
public:
    explicit HurriedClock(int factor) : m_factor(factor) {}
    std::chrono::steady_clock::time_point now() const override {
        return std::chrono::steady_clock::now() + m_extra;
    }
    void sleepFor(std::chrono::milliseconds duration) override;

private:
    int m_factor;
    std::chrono::milliseconds m_extra{0};
};

class RecordingCookieStore : public CookieStore {
public:
    std::vector<Cookie> cookies() override { return stored; }
    void deleteCookie(const Cookie& cookie) override;
    std::vector<Cookie> stored;
    std::vector<Cookie> deleted;
};

} // namespace corvane::testing
