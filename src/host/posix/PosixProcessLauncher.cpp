#include "host/posix/PosixProcessLauncher.h"

#include "host/posix/ChildProcess.h"
#include "host/posix/HelperPrograms.h"

#include <cstring>
#include <unistd.h>

namespace corvane {

Result<ProcessOutput> PosixProcessLauncher::run(const std::string& launchPath,
                                                const std::vector<std::string>& arguments) {
    ChildResult result = runChildProcess(launchPath, arguments);
    if (!result.started) {
        return Error{"could not start " + launchPath + ": " + std::strerror(result.startError),
                     result.startError};
    }
    // The shell's convention, so that a status alone tells a signal from an exit.
    const int status =
        result.exitStatus ? *result.exitStatus : 128 + result.endingSignal.value_or(0);
    return ProcessOutput{std::move(result.output), std::move(result.errorOutput), status};
}

std::string PosixProcessLauncher::toolPath(Tool tool) const {
#ifdef __APPLE__
    return systemToolPath(tool);
#else
    if (tool != Tool::Open) {
        return systemToolPath(tool);
    }
    // On Debian /usr/bin/open can be a console tool, so the desktop's opener is used. It may run
    // the browser with our output pipe still open, which would hold the caller until the browser
    // ends; corvane-open starts it detached and returns at once.
    const std::string detached = helperProgramPath("corvane-open");
    return detached.empty() ? "/usr/bin/xdg-open" : detached;
#endif
}

bool PosixProcessLauncher::isInstalled(const std::string& launchPath) const {
    return access(launchPath.c_str(), X_OK) == 0;
}

} // namespace corvane
