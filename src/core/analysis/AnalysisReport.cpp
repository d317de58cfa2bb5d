#include "core/analysis/AnalysisReport.h"

#include "base/Text.h"

namespace corvane {

namespace {

constexpr const char* kWarningSign = "\u26A0\uFE0F";

// The parts of a report around its lists: the text before them and the text after them.
struct Frame {
    std::string head;
    std::string tail;
};

Frame standardReport(const std::string& kinds, const std::string& name) {
    return {"Corvane can safely remove the following user " + kinds + "files:\n\n",
            "Click the \"Fix\" button to restore " + name + " or (X) to cancel.\n" + kWarningSign +
                " User preferences & unsaved data associated with this app will be lost!\n\n"};
}

Frame safariSoftReport(const std::string& kinds, const std::string& name) {
    return {"Safari Soft Reset - click \"Fix\" to complete!\n\nCorvane can safely remove the "
            "following user " +
                kinds + "files:\n\n",
            "Click the \"Fix\" button to restore " + name + " or (X) to cancel.\n\n" +
                kWarningSign +
                " A 'Hard' reset will completely remove all Safari's bookmarks, cookies, history, "
                "extensions, top sites and all other data. Restore can put it back while the Trash "
                "holds it.\n\n"};
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
    const std::string kinds = firstKind + conjunction + secondKind;
    const Frame frame = isSafari ? safariSoftReport(kinds, applicationName)
                                 : standardReport(kinds, applicationName);
    const std::string lists = fileList + stateList + "\n\n";
    return {frame.head + lists + frame.tail, fileList, utf16Length(frame.head), utf16Length(lists)};
}

} // namespace corvane
