#include "cli/CommandLineActions.h"

#include "app/Alerts.h"
#include "app/AppDelegate.h"
#include "app/Dialogs.h"
#include "base/Paths.h"
#include "core/ProcessWideValues.h"
#include "core/UserFolders.h"
#include "core/analysis/AnalysisReport.h"
#include "core/analysis/BundleIdentifierPolicy.h"
#include "core/analysis/Discovery.h"
#include "ports/FileSystem.h"
#include "ports/Workspace.h"

#include <istream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <variant>

namespace corvane::cli {

namespace {

struct Target {
    std::string path;
    std::string name;
    std::string identifier;
};

// The bundle's identifier as the window's chooser finds it, or a plain reason why there is none.
std::variant<Target, std::string> identifyTarget(const Services& services,
                                                 const std::string& bundlePath) {
    const std::string path = withoutTrailingSlashes(bundlePath);
    if (path.empty() || !services.fileSystem->fileExists(path)) {
        return "There is no application at \"" + bundlePath + "\".";
    }
    const std::string name = lastPathComponent(path);
    std::optional<BundleInfo> bundle = services.bundles->readBundle(path);
    if (!bundle && services.workspace) {
        if (const auto found = services.workspace->fullPathForApplication(name)) {
            bundle = services.bundles->readBundle(*found);
        }
    }
    if (!bundle || !bundle->identifier) {
        return "\"" + bundlePath + "\" doesn't appear to be an application.";
    }
    if (!isAcceptableBundleIdentifier(*bundle->identifier)) {
        return "\"" + bundlePath + "\" has the identifier \"" + *bundle->identifier +
               "\", which is not one Corvane will reset.";
    }
    return Target{path, name, *bundle->identifier};
}

std::string reasonWord(SkippedFolder::Reason reason) {
    switch (reason) {
    case SkippedFolder::Reason::LeadsOutside:
        return "leads outside the Library";
    case SkippedFolder::Reason::Link:
        return "is a link";
    case SkippedFolder::Reason::Unreadable:
        break;
    }
    return "could not be read";
}

// Answers the window's questions from the command line's options and prints its sheets.
class CommandLineAlerts : public Alerts {
public:
    CommandLineAlerts(std::optional<bool> safariHard, bool removeForGood, std::ostream& out,
                      std::ostream& err)
        : m_safariHard(safariHard), m_removeForGood(removeForGood), m_out(out), m_err(err) {}

    int runModal(const Alert& alert) override {
        if (alert.informativeText == safariModePrompt().informativeText) {
            return m_safariHard.value_or(false) ? kAlertFirstButtonReturn
                                                : kAlertSecondButtonReturn;
        }
        if (alert.purpose == AlertPurpose::RemoveForGood) {
            m_err << alert.messageText << (m_removeForGood ? " Yes (--no-trash).\n" : " No.\n")
                  << alert.informativeText;
            if (!m_removeForGood) {
                m_err << "Nothing was changed; add --no-trash to remove them for good.\n";
            }
            return m_removeForGood ? kAlertSecondButtonReturn : kAlertFirstButtonReturn;
        }
        // The restore's question (its text in the message): the command was the answer.
        if (consent && alert.informativeText.empty()) {
            m_err << alert.messageText << " Yes.\n";
            consent = false;
            return kAlertFirstButtonReturn;
        }
        // An account of what was done goes to the output; a refusal to the errors.
        if (alert.purpose == AlertPurpose::Refusal ||
            (alert.style == AlertStyle::Warning && alert.messageText == "Corvane")) {
            m_err << alert.informativeText << '\n';
            refused = true;
        } else {
            m_out << alert.informativeText << '\n';
        }
        return kAlertFirstButtonReturn;
    }
    void beginSheet(const Alert& alert, Window*, std::function<void(int)> done) override {
        m_out << alert.informativeText;
        leftovers = alert.style == AlertStyle::Warning;
        done(kAlertFirstButtonReturn);
    }

    bool consent = false;
    bool refused = false;
    bool leftovers = false;

private:
    std::optional<bool> m_safariHard;
    bool m_removeForGood;
    std::ostream& m_out;
    std::ostream& m_err;
};

// Hands the chooser the bundle named on the command line instead of asking.
class GivenPanel : public OpenPanel {
public:
    explicit GivenPanel(std::string path) : m_path(std::move(path)) {}
    std::optional<std::string> runModal(const OpenPanelOptions&) override { return m_path; }

private:
    std::string m_path;
};

int exitCodeFor(ResetEnding ending) {
    switch (ending) {
    case ResetEnding::Done:
        return kDone;
    case ResetEnding::NothingToDo:
        return kNothingFound;
    case ResetEnding::Partial:
    case ResetEnding::Interrupted:
        return kPartial;
    case ResetEnding::Declined:
        break;
    }
    return kDeclined;
}

} // namespace

int restoreLatestReset(const Services& services, const std::optional<std::string>& identifier,
                       std::ostream& out, std::ostream& err) {
    if (identifier && !isAcceptableBundleIdentifier(*identifier)) {
        err << "\"" << *identifier << "\" is not an application identifier.\n";
        return kBadInput;
    }
    const auto located = locateUserFolders(*services.fileSystem);
    if (const auto* refusal = std::get_if<std::string>(&located)) {
        err << *refusal << '\n';
        return kBadInput;
    }
    // Asking for the restore on the command line is the answer to the window's question.
    CommandLineAlerts alerts(std::nullopt, false, out, err);
    alerts.consent = true;
    Services withAnswers = services;
    withAnswers.alerts = &alerts;
    processWide() = {};
    AppDelegate delegate(Outlets{}, withAnswers);
    const std::optional<RestoreResult> result = delegate.restoreLatest(identifier);
    if (!result && delegate.lastEnding() == ResetEnding::NothingToDo) {
        err << "There is no reset" << (identifier ? " of " + *identifier : std::string())
            << " to put back.\n";
    }
    return exitCodeFor(delegate.lastEnding());
}

int listEntries(const Services& services, const std::string& bundlePath, bool json,
                std::ostream& out, std::ostream& err) {
    const auto identified = identifyTarget(services, bundlePath);
    if (const auto* refusal = std::get_if<std::string>(&identified)) {
        err << *refusal << '\n';
        return kBadInput;
    }
    const Target& target = std::get<Target>(identified);
    const auto located = locateUserFolders(*services.fileSystem);
    if (const auto* refusal = std::get_if<std::string>(&located)) {
        err << *refusal << '\n';
        return kBadInput;
    }
    const TargetEntries found =
        findTargetEntries(std::get<UserFolders>(located), target.identifier, *services.fileSystem);
    const bool any = !found.preferences.empty() || !found.savedState.empty();
    if (json) {
        nlohmann::json skipped = nlohmann::json::array();
        for (const SkippedFolder& folder : found.skipped) {
            skipped.push_back({{"folder", folder.name}, {"reason", reasonWord(folder.reason)}});
        }
        const nlohmann::json document = {{"identifier", target.identifier},
                                         {"name", target.name},
                                         {"path", target.path},
                                         {"preferences", found.preferences.fullPaths},
                                         {"savedState", found.savedState.fullPaths},
                                         {"skipped", skipped}};
        // Names that are not UTF-8 are written with replacement characters, not refused.
        out << document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    } else {
        for (const EntryList* list : {&found.preferences, &found.savedState}) {
            for (const std::string& path : list->fullPaths) {
                out << path << '\n';
            }
        }
        for (const SkippedFolder& folder : found.skipped) {
            err << skippedFolderLine(folder) << '\n';
        }
    }
    return any ? kDone : kNothingFound;
}

int resetApplication(const Services& services, const std::string& bundlePath,
                     const ResetOptions& options, std::istream& in, std::ostream& out,
                     std::ostream& err) {
    const auto identified = identifyTarget(services, bundlePath);
    if (const auto* refusal = std::get_if<std::string>(&identified)) {
        err << *refusal << '\n';
        return kBadInput;
    }
    const Target& target = std::get<Target>(identified);
    if (isSafariIdentifier(target.identifier) && !options.safariHard) {
        err << "Safari needs --safari=soft or --safari=hard.\n";
        return kBadInput;
    }
    const auto located = locateUserFolders(*services.fileSystem);
    if (const auto* refusal = std::get_if<std::string>(&located)) {
        err << *refusal << '\n';
        return kBadInput;
    }
    if (!options.confirmed) {
        if (!options.interactive) {
            err << "Not resetting " << target.name
                << " without a terminal to ask on; add --yes to reset it anyway.\n";
            return kDeclined;
        }
        err << "Reset " << target.name << "? [y/N] " << std::flush;
        std::string answer;
        std::getline(in, answer);
        if (answer != "y" && answer != "Y" && answer != "yes") {
            err << "Nothing was changed.\n";
            return kDeclined;
        }
    }

    CommandLineAlerts alerts(options.safariHard, options.removeForGood, out, err);
    GivenPanel panel(target.path);
    Services withAnswers = services;
    withAnswers.alerts = &alerts;
    withAnswers.openPanel = &panel;
    processWide() = {};
    AppDelegate delegate(Outlets{}, withAnswers);
    delegate.applicationDidFinishLaunching();
    delegate.chooseApp();
    if (!delegate.isApp()) {
        err << "\"" << bundlePath << "\" doesn't appear to be an application.\n";
        return kBadInput;
    }
    const bool hard = delegate.safariAggressive();
    if (!hard && delegate.fullFilePaths().empty() && delegate.fullStatePaths().empty()) {
        out << nothingFoundMessage(target.name) << '\n';
        for (const SkippedFolder& folder : delegate.skippedFolders()) {
            out << skippedFolderLine(folder) << '\n';
        }
        return kNothingFound;
    }
    for (const auto* list : {&delegate.fullFilePaths(), &delegate.fullStatePaths()}) {
        for (const std::string& path : *list) {
            out << "Removing " << path << '\n';
        }
    }
    delegate.fixButtonMethod();
    return exitCodeFor(delegate.lastEnding());
}

} // namespace corvane::cli
