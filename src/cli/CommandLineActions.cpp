#include "cli/CommandLineActions.h"

#include "base/Paths.h"
#include "core/UserFolders.h"
#include "core/analysis/AnalysisReport.h"
#include "core/analysis/BundleIdentifierPolicy.h"
#include "core/analysis/Discovery.h"
#include "core/fix/QuitWait.h"
#include "core/fix/ResetRecord.h"
#include "core/fix/ResetTransaction.h"
#include "core/fix/Restore.h"
#include "core/fix/SystemTarget.h"
#include "ports/FileSystem.h"
#include "ports/Processes.h"
#include "ports/Services.h"
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
std::variant<Target, std::string> identifyTarget(const Ports& services,
                                                 const std::string& bundlePath) {
    const std::string path = withoutTrailingSlashes(bundlePath);
    if (path.empty() || !services.fileSystem->fileExists(path)) {
        return "There is no application at \"" + bundlePath + "\".";
    }
    const std::string name = lastPathComponent(path);
    Result<BundleInfo, BundleError> bundle = services.bundles->readBundle(path);
    if (!bundle && bundle.error().failure == BundleFailure::NotABundle && services.workspace) {
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

// Asks the target's running instances to quit and waits for them, as the window does.
bool targetHasQuit(const Ports& ports, const std::string& identifier, const std::string& name,
                   const std::string& undone, std::ostream& err) {
    if (!ports.runningApplications || !isAcceptableBundleIdentifier(identifier)) {
        return true;
    }
    Result<std::vector<pid_t>> looked = ports.runningApplications->withBundleIdentifier(identifier);
    if (!looked) {
        err << "Corvane could not tell whether " << name << " is running, so nothing was " << undone
            << " (" << looked.error().reason << ").\n";
        return false;
    }
    std::vector<pid_t> instances = std::move(*looked);
    if (instances.empty()) {
        return true;
    }
    err << name << " is running; asking it to quit...\n";
    if (quitAndWait(*ports.runningApplications, identifier, std::move(instances), steadyClock()) ==
        QuitWaitOutcome::Quit) {
        return true;
    }
    err << name << " did not quit, so nothing was " << undone << ". Please quit " << name
        << " yourself, then try again.\n";
    return false;
}

ResetPorts resetPortsOf(const Ports& ports) {
    ResetPorts reset;
    reset.fileSystem = ports.fileSystem;
    reset.trash = ports.trash;
    reset.cookieStore = ports.cookieStore;
    reset.log = ports.systemLog;
    ProcessLauncher* launcher = ports.launcher;
    SystemLog* log = ports.systemLog;
    reset.runTool = [launcher,
                     log](const std::string& tool,
                          const std::vector<std::string>& arguments) -> std::optional<std::string> {
        if (!launcher) {
            return std::nullopt;
        }
        Result<ProcessOutput> ran = launcher->run(tool, arguments);
        if (!ran) {
            if (log) {
                log->log(ran.error().reason);
            }
            return std::nullopt;
        }
        if (ran->exitStatus != 0 && log) {
            log->log(tool + " exited with status " + std::to_string(ran->exitStatus));
        }
        return ran->standardOutput;
    };
    return reset;
}

// The user's consent: --yes, or "y" on a terminal.
bool consents(const ResetOptions& options, const std::string& name, std::istream& in,
              std::ostream& err) {
    if (options.confirmed) {
        return true;
    }
    if (!options.interactive) {
        err << "Not resetting " << name
            << " without a terminal to ask on; add --yes to reset it anyway.\n";
        return false;
    }
    err << "Reset " << name << "? [y/N] " << std::flush;
    std::string answer;
    std::getline(in, answer);
    if (answer != "y" && answer != "Y" && answer != "yes") {
        err << "Nothing was changed.\n";
        return false;
    }
    return true;
}

ResetPlan planFor(const Target& target, const TargetEntries& found, bool hardSafari,
                  CookieStore* cookies) {
    ResetPlan plan;
    plan.identifier = target.identifier;
    plan.applicationName = target.name;
    plan.applicationPath = target.path;
    plan.systemTarget = isSystemTargetPath(target.path);
    plan.hardSafari = hardSafari;
    plan.listed = found.preferences.fullPaths;
    plan.listed.insert(plan.listed.end(), found.savedState.fullPaths.begin(),
                       found.savedState.fullPaths.end());
    if (hardSafari && cookies) {
        plan.cookieStoreFile = cookies->storeFile();
    }
    return plan;
}

void printUntrashable(const Untrashable& untrashable, std::ostream& err) {
    const std::size_t count = untrashable.paths.size();
    err << count << (count == 1 ? " entry cannot" : " entries cannot") << " be moved to the Trash ("
        << untrashable.reasonText() << "):\n";
    for (const std::string& path : untrashable.paths) {
        err << path << '\n';
    }
}

} // namespace

int restoreLatestReset(const Ports& ports, const std::optional<std::string>& identifier,
                       std::ostream& out, std::ostream& err) {
    if (identifier && !isAcceptableBundleIdentifier(*identifier)) {
        err << "\"" << *identifier << "\" is not an application identifier.\n";
        return kBadInput;
    }
    const FileSystem& fs = *ports.fileSystem;
    const auto located = locateUserFolders(fs);
    if (const auto* refusal = std::get_if<std::string>(&located)) {
        err << *refusal << '\n';
        return kBadInput;
    }
    const UserFolders& folders = std::get<UserFolders>(located);
    const std::optional<std::string> library =
        usableLibraryFolder(fs, folders.library, folders.home);
    const std::string nothing = "There is no reset" +
                                (identifier ? " of " + *identifier : std::string()) +
                                " to put back.\n";
    if (!library || !ports.trash) {
        err << nothing;
        return kNothingFound;
    }
    ResetRecords records(ResetRecords::folderIn(folders.library));
    const LatestRecord latest = records.latest(identifier);
    if (const auto* damaged = std::get_if<DamagedRecord>(&latest)) {
        err << "The latest reset record is damaged: " << damaged->id << ".\n";
        return kDeclined;
    }
    if (!restorableRecord(latest, fs)) {
        err << nothing;
        return kNothingFound;
    }
    // Asking for the restore on the command line is the consent; the lock comes after it.
    Result<ResetLock> lock = ResetLock::take(ResetRecords::folderIn(folders.library), steadyClock(),
                                             ResetTransaction::kLockWait);
    if (!lock) {
        err << lock.error().reason << '\n';
        return kDeclined;
    }
    // Another run may have put it back, or reset again, while this one waited.
    const std::optional<ResetRecord> record = restorableRecord(records.latest(identifier), fs);
    if (!record) {
        err << nothing;
        return kNothingFound;
    }
    if (!record->systemTarget &&
        !targetHasQuit(ports, record->identifier, record->applicationName, "put back", err)) {
        return kDeclined;
    }
    const RestoreResult result =
        restoreAndKeepRecord(records, *record, *ports.trash, fs, *library, ports.systemLog);
    out << restoreResultText(*record, result);
    return exitCodeFor(restoreEnding(result));
}

int listEntries(const Ports& services, const std::string& bundlePath, bool json, std::ostream& out,
                std::ostream& err) {
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

int resetApplication(const Ports& ports, const std::string& bundlePath, const ResetOptions& options,
                     std::istream& in, std::ostream& out, std::ostream& err) {
    const auto identified = identifyTarget(ports, bundlePath);
    if (const auto* refusal = std::get_if<std::string>(&identified)) {
        err << *refusal << '\n';
        return kBadInput;
    }
    const Target& target = std::get<Target>(identified);
    const bool safari = isSafariIdentifier(target.identifier);
    if (safari && !options.safariHard) {
        err << "Safari needs --safari=soft or --safari=hard.\n";
        return kBadInput;
    }
    const auto located = locateUserFolders(*ports.fileSystem);
    if (const auto* refusal = std::get_if<std::string>(&located)) {
        err << *refusal << '\n';
        return kBadInput;
    }
    if (!consents(options, target.name, in, err)) {
        return kDeclined;
    }
    const TargetEntries found =
        findTargetEntries(std::get<UserFolders>(located), target.identifier, *ports.fileSystem);
    const ResetPlan plan =
        planFor(target, found, safari && options.safariHard.value_or(false), ports.cookieStore);
    if (!plan.hardSafari && plan.listed.empty()) {
        out << nothingFoundMessage(target.name) << '\n';
        for (const SkippedFolder& folder : found.skipped) {
            out << skippedFolderLine(folder) << '\n';
        }
        return kNothingFound;
    }
    for (const std::string& path : plan.listed) {
        out << "Removing " << path << '\n';
    }

    Result<ResetTransaction> transaction = ResetTransaction::begin(plan, resetPortsOf(ports));
    if (!transaction) {
        err << transaction.error().reason << '\n';
        return kDeclined;
    }
    if (!plan.systemTarget &&
        !targetHasQuit(ports, target.identifier, target.name, "removed", err)) {
        return kDeclined;
    }
    const Untrashable untrashable = transaction->untrashable();
    if (!untrashable.paths.empty()) {
        printUntrashable(untrashable, err);
        if (!options.removeForGood) {
            err << "Nothing was changed; add --no-trash to remove them for good.\n";
            return kDeclined;
        }
    }
    const ResetOutcome outcome = transaction->apply(options.removeForGood);
    if (outcome.ending == ResetEnding::Declined) {
        err << outcome.refusal << '\n';
        return kDeclined;
    }
    out << resetAccountText(target.name, outcome,
                            "\"corvane --restore " + target.identifier + "\" puts them back");
    return exitCodeFor(outcome.ending);
}

} // namespace corvane::cli
