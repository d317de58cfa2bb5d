#include "host/PosixProcessLauncher.h"

#include "host/ChildProcess.h"
#include "host/HelperPrograms.h"

namespace corvane {

std::optional<std::string> PosixProcessLauncher::run(const std::string& launchPath,
                                                     const std::vector<std::string>& arguments) {
    ChildResult result = runChildProcess(launchPath, arguments);
    if (!result.started) {
        return std::nullopt;
    }
    return std::move(result.output);
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

} // namespace corvane
