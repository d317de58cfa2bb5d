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

std::string joinLines(const Lines& entries) {
    std::string joined;
    appendLines(joined, entries);
    return joined;
}

void appendLines(std::string& text, const Lines& entries) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) {
            text += '\n';
        }
        text += entries[i];
    }
}

Report composeReport(const Lines& shortFilePaths, const Lines& shortStatePaths, bool isSafari,
                     const std::string& applicationName) {
    // A list that joins into nothing counts as none.
    const auto none = [](const Lines& list) {
        return list.empty() || (list.size() == 1 && list.front().empty());
    };
    const bool noFiles = none(shortFilePaths);
    const bool noStates = none(shortStatePaths);
    const std::string conjunction = !noFiles && !noStates ? "and " : "";
    const std::string firstKind = noFiles ? "" : "preference ";
    const std::string secondKind = noStates ? "" : "window data ";
    const std::string kinds = firstKind + conjunction + secondKind;
    const Frame frame = isSafari ? safariSoftReport(kinds, applicationName)
                                 : standardReport(kinds, applicationName);
    // The lists are written once, straight into the text: they may name 100,000 entries.
    std::size_t listed = 4;
    for (const auto* list : {&shortFilePaths, &shortStatePaths}) {
        for (const std::string_view entry : *list) {
            listed += entry.size() + 1;
        }
    }
    Report report;
    std::string& text = report.text;
    text.reserve(frame.head.size() + listed + frame.tail.size());
    text += frame.head;
    const std::size_t listsFrom = text.size();
    if (noFiles) {
        text += "~\n";
    } else {
        appendLines(text, shortFilePaths);
    }
    report.fileList = text.substr(listsFrom);
    appendLines(text, shortStatePaths);
    text += "\n\n";
    report.listsFrom = utf16Length(frame.head);
    report.listsLength = utf16Length(std::string_view(text).substr(listsFrom));
    text += frame.tail;
    return report;
}

} // namespace corvane
