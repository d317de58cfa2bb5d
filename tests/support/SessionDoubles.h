#pragma once

#include "ports/ApplicationBus.h"
#include "ports/SessionProcesses.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace corvane::testing {

// The session's processes as a test sets them. A process asked to end leaves the table unless
// it is stubborn.
class FakeSessionProcesses : public SessionProcesses {
public:
    Result<std::vector<ProcessCgroup>> userProcessCgroups() const override {
        if (unreadable) {
            return Error{*unreadable};
        }
        return processes;
    }
    std::vector<FlatpakInstance> flatpakInstances() const override { return instances; }
    std::vector<std::string> flatpakMetadata(const std::string&) const override { return {}; }
    std::optional<ProgramFile> programFile(const std::string& program) const override {
        const auto found = programs.find(program);
        return found == programs.end() ? std::nullopt : std::optional(found->second);
    }
    void terminate(pid_t pid) override {
        terminated.push_back(pid);
        if (!stubborn.contains(pid)) {
            end(pid);
        }
    }
    // The process ends: it leaves the table and its Flatpak instance goes.
    void end(pid_t pid) {
        std::erase_if(processes, [pid](const ProcessCgroup& p) { return p.pid == pid; });
        std::erase_if(instances, [pid](const FlatpakInstance& i) { return i.pid == pid; });
    }

    std::vector<ProcessCgroup> processes;
    std::vector<FlatpakInstance> instances;
    std::map<std::string, ProgramFile> programs;
    std::optional<std::string> unreadable;
    std::set<pid_t> stubborn;
    std::vector<pid_t> terminated;
};

// A session bus whose names a test owns. Every action asked for is recorded, whether or not
// the name has an owner; an owner that takes "quit" runs `onQuit`.
class FakeApplicationBus : public ApplicationBus {
public:
    Result<bool> nameHasOwner(const std::string& name) const override {
        if (unreachable) {
            return Error{"the session bus cannot be reached"};
        }
        return owners.contains(name);
    }
    Status activateAction(const std::string& name, const std::string& objectPath,
                          const std::string& action) override {
        activated.push_back(name + " " + objectPath + " " + action);
        if (!owners.contains(name) || refuses) {
            return Error{name + " did not take its " + action + " action"};
        }
        if (action == "quit" && onQuit) {
            onQuit();
        }
        return Done{};
    }

    std::set<std::string> owners;
    bool unreachable = false;
    bool refuses = false;
    std::function<void()> onQuit;
    std::vector<std::string> activated;
};

} // namespace corvane::testing
