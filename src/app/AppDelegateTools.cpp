#include "app/AppDelegate.h"
#include "base/Utf16.h"
#include "ports/Processes.h"

namespace corvane {

std::optional<std::string>
AppDelegate::callNSTaskWithResult(const std::string& launchPath,
                                  const std::vector<std::string>& arguments) {
    // Tools are named by absolute path only; a relative one would depend on the working folder.
    if (!_services.launcher || launchPath.empty() || launchPath.front() != '/') {
        return std::nullopt;
    }
    std::optional<std::string> output = _services.launcher->run(launchPath, arguments);
    if (!output || !isValidUtf8(*output)) {
        return std::nullopt;
    }
    return output;
}

} // namespace corvane
