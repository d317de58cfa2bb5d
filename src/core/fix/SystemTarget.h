#pragma once

#include <string_view>

namespace corvane {

// True when a folder on the application's path is named "CoreServices" (any letter case), as
// the system's own applications are (/System/Library/CoreServices/Dock.app). Such a target is
// restarted rather than asked to quit.
bool isSystemTargetPath(std::string_view applicationPath);

} // namespace corvane
