#include "app/AppDelegate.h"
#include "core/LoggedTool.h"

namespace corvane {

std::optional<std::string>
AppDelegate::callNSTaskWithResult(const std::string& launchPath,
                                  const std::vector<std::string>& arguments) {
    return runLoggedTool(_ports.launcher, _ports.systemLog, launchPath, arguments);
}

} // namespace corvane
