#include "platform/host/PosixProcessLauncher.h"

#include "platform/host/ChildProcess.h"

namespace corvane {

std::optional<std::string> PosixProcessLauncher::run(const std::string& launchPath,
                                                     const std::vector<std::string>& arguments) {
    ChildResult result = runChildProcess(launchPath, arguments);
    if (!result.started) {
        return std::nullopt;
    }
    return std::move(result.output);
}

} // namespace corvane
