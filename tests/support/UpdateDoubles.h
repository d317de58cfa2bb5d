#pragma once

#include "ports/Network.h"
#include "ports/Processes.h"
#include "ports/Services.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace corvane::testing {

class RecordingNotifications : public Notifications {
public:
    void deliver(const UserNotification& notification) override {
        delivered.push_back(notification);
    }
    std::vector<UserNotification> delivered;
};

// Records each tool run instead of starting it.
class ToolRunRecorder : public ProcessLauncher {
public:
    struct Run {
        std::string launchPath;
        std::vector<std::string> arguments;
    };
    Result<ProcessOutput> run(const std::string& launchPath,
                              const std::vector<std::string>& arguments) override {
        runs.push_back({launchPath, arguments});
        if (onRun) {
            onRun();
        }
        return output;
    }
    std::vector<Run> runs;
    Result<ProcessOutput> output = ProcessOutput{};
    std::function<void()> onRun;
};

// Records each load; the test then plays the connection's part through `delegate`.
class RecordingUrlLoader : public UrlLoader {
public:
    void start(const UrlRequest& request, UrlConnectionDelegate& loadDelegate) override {
        started.push_back(request);
        delegate = &loadDelegate;
    }
    std::vector<UrlRequest> started;
    UrlConnectionDelegate* delegate = nullptr;
};

} // namespace corvane::testing
