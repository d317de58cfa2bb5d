#include "core/analysis/AnalysisReport.h"

#include "core/ProcessWideValues.h"
#include "core/UserFolders.h"

#include <algorithm>
#include <variant>

namespace corvane {

namespace {

constexpr const char* kWarningSign = "\u26A0\uFE0F";

std::string standardReport(const std::string& firstKind, const std::string& conjunction,
                           const std::string& secondKind, const std::string& fileList,
                           const std::string& stateList, const std::string& name) {
    return "Corvane can safely remove the following user " + firstKind + conjunction + secondKind +
           "files:\n\n" + fileList + stateList + "\n\nClick the \"Fix\" button to restore " + name +
           " or (X) to cancel.\n" + kWarningSign +
           " User preferences & unsaved data associated with this app will be "
           "lost!\n\n";
}

std::string safariSoftReport(const std::string& firstKind, const std::string& conjunction,
                             const std::string& secondKind, const std::string& fileList,
                             const std::string& stateList, const std::string& name) {
    return "Safari Soft Reset - click \"Fix\" to complete!\n\nCorvane can safely remove the "
           "following user " +
           firstKind + conjunction + secondKind + "files:\n\n" + fileList + stateList +
           "\n\nClick the \"Fix\" button to restore " + name + " or (X) to cancel.\n\n" +
           kWarningSign +
           " A 'Hard' reset will completely remove all Safari's bookmarks, cookies, history, "
           "extensions, top sites and all other data. This cannot be undone.\n\n";
}

} // namespace

std::string nothingFoundMessage(const std::string& applicationName) {
    return "This version of Corvane can't find anything to fix for " + applicationName +
           " at the moment.";
}

std::string joinLines(const std::vector<std::string>& entries) {
    std::string joined;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) {
            joined += '\n';
        }
        joined += entries[i];
    }
    return joined;
}

Report composeReport(const std::vector<std::string>& shortFilePaths,
                     const std::vector<std::string>& shortStatePaths, bool isSafari,
                     const std::string& applicationName) {
    std::string fileList = joinLines(shortFilePaths);
    const std::string stateList = joinLines(shortStatePaths);
    const std::string conjunction = !fileList.empty() && !stateList.empty() ? "and " : "";
    std::string firstKind = "preference ";
    if (fileList.empty()) {
        firstKind.clear();
        fileList = "~\n";
    }
    const std::string secondKind = stateList.empty() ? "" : "window data ";
    const auto compose = isSafari ? safariSoftReport : standardReport;
    return {compose(firstKind, conjunction, secondKind, fileList, stateList, applicationName),
            fileList};
}

} // namespace corvane
