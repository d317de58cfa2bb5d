#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

std::string nothingFoundMessage(const std::string& applicationName);

// Joins with "\n" between entries only.
std::string joinLines(const std::vector<std::string>& entries);
// The same, written at the end of `text`.
void appendLines(std::string& text, const std::vector<std::string>& entries);

struct Report {
    std::string text;
    std::string fileList; // the preference part as it stands in the text, "~\n" when empty
    // Where the lists of entries stand in the text, in UTF-16 code units: the stretch the
    // window shows in grey.
    std::int64_t listsFrom = 0;
    std::int64_t listsLength = 0;
};

// The report listing what Fix removes; `shortFilePaths` already ends with its "\n" entry.
Report composeReport(const std::vector<std::string>& shortFilePaths,
                     const std::vector<std::string>& shortStatePaths, bool isSafari,
                     const std::string& applicationName);

} // namespace corvane
