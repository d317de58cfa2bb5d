#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvane {

std::string nothingFoundMessage(const std::string& applicationName);

// Joins with "\n" between entries only.
std::string joinLines(const std::vector<std::string>& entries);

struct Report {
    std::string text;
    std::string fileList; // the preference part as it stands in the text, "~\n" when empty
};

// The report listing what Fix removes; `shortFilePaths` already ends with its "\n" entry.
Report composeReport(const std::vector<std::string>& shortFilePaths,
                     const std::vector<std::string>& shortStatePaths, bool isSafari,
                     const std::string& applicationName);

} // namespace corvane
