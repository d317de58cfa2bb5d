#pragma once

#include <optional>
#include <string>

namespace corvane {

// The values shared by the chooser, the analysis and the fix, one of each for the process.
struct ProcessWideValues {
    std::optional<std::string> targetBundleIdentifier;
    std::optional<std::string> targetApplicationName;
    std::optional<std::string> reportFileList;
    std::optional<std::string> safariFolder;
};

ProcessWideValues& processWide();

} // namespace corvane
