#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvane {

class ProcessLauncher;
class SystemLog;

// Runs a system tool, named by its absolute path, and gives its standard output. A tool that
// cannot be started, fails (with the start of its complaint) or writes output that is not UTF-8
// is logged, and only a failure to run or such output gives none.
std::optional<std::string> runLoggedTool(ProcessLauncher& launcher, SystemLog& log,
                                         const std::string& launchPath,
                                         const std::vector<std::string>& arguments);

} // namespace corvane
