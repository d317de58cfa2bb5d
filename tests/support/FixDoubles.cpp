#include "support/FixDoubles.h"

#include <algorithm>
#include <filesystem>
#include <thread>

namespace corvane::testing {

Result<ProcessOutput> RecordingLauncher::run(const std::string& launchPath,
                                             const std::vector<std::string>& arguments) {
    ToolRun run{launchPath};
    run.insert(run.end(), arguments.begin(), arguments.end());
    runs.push_back(run);
    if (events) {
        std::string line = launchPath;
        for (const std::string& argument : arguments) {
            line += " " + argument;
        }
        events->push_back(line);
    }
    if (removes && launchPath == "/bin/rm" && arguments.size() == 2 && arguments[0] == "-rf") {
        std::error_code ignored;
        std::filesystem::remove_all(arguments[1], ignored);
    }
    const auto scripted = outputs.find(run);
    return scripted == outputs.end() ? Result<ProcessOutput>(ProcessOutput{}) : scripted->second;
}

Result<ProcessOutput> NoProcessLauncher::run(const std::string& launchPath,
                                             const std::vector<std::string>&) {
    return Error{"could not start " + launchPath + ": this host starts no process"};
}

Result<std::vector<pid_t>>
ScriptedRunningApplications::withBundleIdentifier(const std::string& identifier) const {
    ++queries;
    if (unreadable) {
        return Error{*unreadable};
    }
    const auto found = running.find(identifier);
    return found == running.end() ? std::vector<pid_t>{} : found->second;
}

void ScriptedRunningApplications::terminate(pid_t pid) {
    terminated.push_back(pid);
    if (events) {
        events->push_back("terminate " + std::to_string(pid));
    }
    if (stubborn.contains(pid)) {
        return;
    }
    for (auto& [identifier, pids] : running) {
        std::erase(pids, pid);
    }
}

void HurriedClock::sleepFor(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
    m_extra += duration * (m_factor - 1);
}

void RecordingCookieStore::deleteCookie(const Cookie& cookie) {
    deleted.push_back(cookie);
    std::erase(stored, cookie);
}

} // namespace corvane::testing
