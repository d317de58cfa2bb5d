#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

std::string nothingFoundMessage(const std::string& applicationName);

// Lines of a report, viewing texts that outlive it (a plan's entries, or literals).
using Lines = std::vector<std::string_view>;

// Joins with "\n" between entries only.
std::string joinLines(const Lines& entries);
// The same, written at the end of `text`.
void appendLines(std::string& text, const Lines& entries);

struct Report {
    std::string text;
    std::string fileList; // the preference part as it stands in the text, "~\n" when empty
    // Where the lists of entries stand in the text, in UTF-16 code units: the stretch the
    // window shows in grey.
    std::int64_t listsFrom = 0;
    std::int64_t listsLength = 0;
};

// The report listing what Fix removes; `shortFilePaths` already ends with its "\n" entry.
Report composeReport(const Lines& shortFilePaths, const Lines& shortStatePaths, bool isSafari,
                     const std::string& applicationName);

} // namespace corvane
