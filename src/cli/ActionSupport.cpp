#include "cli/ActionSupport.h"

#include "base/Paths.h"
#include "core/analysis/BundleIdentifierPolicy.h"
#include "core/fix/QuitWait.h"
#include "core/linuxapps/InstalledApplications.h"
#include "ports/DesktopApplications.h"
#include "ports/FileSystem.h"
#include "ports/Processes.h"
#include "ports/SettingsDatabase.h"
#include "ports/Workspace.h"

#include <istream>
#include <ostream>

namespace corvane::cli {

namespace {

std::optional<std::string> bundleWithIdentifier(const Ports& ports, const std::string& identifier) {
    for (const std::string& bundle : ports.workspace.installedApplications()) {
        const Result<BundleInfo, BundleError> info = ports.bundles.readBundle(bundle);
        if (info && info->identifier == identifier) {
            return bundle;
        }
    }
    return std::nullopt;
}

std::variant<Target, Refusal> bundleTarget(const Ports& ports, const std::string& argument) {
    const std::string path = withoutTrailingSlashes(argument);
    if (path.empty() || !ports.fileSystem.fileExists(path)) {
        return Refusal{"there is no application at " + argument};
    }
    const std::string name = lastPathComponent(path);
    Result<BundleInfo, BundleError> bundle = ports.bundles.readBundle(path);
    std::string found = path;
    // A bare "Widget.app" that is not here names the installed one, as the chooser takes it.
    if (!bundle && bundle.error().failure == BundleFailure::NotABundle) {
        if (const auto installed = ports.workspace.fullPathForApplication(name)) {
            bundle = ports.bundles.readBundle(*installed);
            found = *installed;
        }
    }
    if (!bundle) {
        return Refusal{argument + " doesn't appear to be an application (" + bundle.error().reason +
                       ")"};
    }
    if (!bundle->identifier) {
        return Refusal{argument + " doesn't appear to be an application (it has no identifier)"};
    }
    if (!isAcceptableBundleIdentifier(*bundle->identifier)) {
        return Refusal{argument + " has the identifier \"" + *bundle->identifier +
                       "\", which is not one Corvane will reset"};
    }
    return Target{*bundle->identifier, found, name};
}

// The installed Linux desktop application with the id, of the package asked for. A Flatpak and a
// host package of the same id are two targets; asked for neither, the id names both.
std::optional<Target> desktopApplicationTarget(const Ports& ports, const std::string& id,
                                               LinuxPackage package) {
    if (!ports.desktopApplications) {
        return std::nullopt;
    }
    const FileSystem& fs = ports.fileSystem;
    const std::optional<std::string> home = fs.homeDirectory();
    if (!home || home->empty()) {
        return std::nullopt;
    }
    // Every Linux application's settings are looked for in the settings database; the service
    // is reached while the desktop files are read.
    if (ports.settingsDatabase) {
        ports.settingsDatabase->reachAhead();
    }
    // Only the files that can describe this application are read; the rest give their ids.
    const std::vector<DesktopFileText> files = findDesktopFiles(
        fs, *ports.desktopApplications, *home,
        [&id](std::string_view relativePath) { return canDescribe(relativePath, id); });
    const ApplicationList list = installedApplications(files);
    std::optional<Target> found;
    for (const InstalledApplication& app : list.applications) {
        const LinuxPackage own = app.flatpak ? LinuxPackage::Flatpak : LinuxPackage::Host;
        if (app.id != id || (package != LinuxPackage::Any && package != own)) {
            continue;
        }
        const std::pair<std::string, std::string> naming{
            id + (app.flatpak ? kFlatpakSuffix : kHostSuffix), app.name};
        if (found) {
            found->packages.push_back(naming);
            continue;
        }
        found = Target{id,
                       std::nullopt,
                       app.name,
                       TargetFamily::LinuxApplication,
                       app.tooGeneric,
                       app.desktopFilePath,
                       own,
                       {naming}};
    }
    if (found && found->packages.size() == 1) {
        found->packages.clear();
    }
    if (found) {
        found->installedIds = installedApplicationIds(files);
    }
    return found;
}

} // namespace

bool namesABundle(const std::string& argument) {
    const std::string trimmed = withoutTrailingSlashes(argument);
    return argument.find('/') != std::string::npos ||
           (trimmed.size() >= 4 && trimmed.compare(trimmed.size() - 4, 4, ".app") == 0);
}

std::optional<Refusal> packageNotPicked(const Target& target) {
    if (target.packages.empty()) {
        return std::nullopt;
    }
    std::string sentence = target.identifier + " is installed as";
    for (std::size_t i = 0; i < target.packages.size(); ++i) {
        sentence += (i == 0 ? " " : " and as ") + target.packages[i].second + " (" +
                    target.packages[i].first + ")";
    }
    return Refusal{sentence + "; name one of them", kBadInput, true};
}

std::variant<Target, Refusal> resolveTarget(const Ports& ports, const std::string& given,
                                            bool needBundle) {
    if (namesABundle(given)) {
        return bundleTarget(ports, given);
    }
    LinuxPackage package = LinuxPackage::Any;
    std::string argument = given;
    for (const auto& [suffix, picked] :
         {std::pair{std::string_view(kHostSuffix), LinuxPackage::Host},
          std::pair{std::string_view(kFlatpakSuffix), LinuxPackage::Flatpak}}) {
        if (argument.size() > suffix.size() && argument.ends_with(suffix)) {
            argument.resize(argument.size() - suffix.size());
            package = picked;
            break;
        }
    }
    if (package != LinuxPackage::Any) {
        if (std::optional<Target> linux = desktopApplicationTarget(ports, argument, package)) {
            return *linux;
        }
        return Refusal{
            "found no " +
                std::string(package == LinuxPackage::Flatpak ? "Flatpak" : "host package") +
                " installed with the id " + argument,
            kBadInput, true};
    }
    const ApplicationIdFit fit = applicationIdFit(argument);
    if (fit != ApplicationIdFit::Own) {
        // A one-word id is a target only as an installed desktop application's.
        if (fit == ApplicationIdFit::TooGeneric) {
            if (std::optional<Target> linux =
                    desktopApplicationTarget(ports, argument, LinuxPackage::Any)) {
                return *linux;
            }
        }
        return Refusal{"\"" + argument + "\" is neither PATH.app nor an application identifier",
                       kBadInput, true};
    }
    std::optional<Target> linux = desktopApplicationTarget(ports, argument, LinuxPackage::Any);
    std::optional<std::string> bundle;
    if (needBundle || linux) {
        bundle = bundleWithIdentifier(ports, argument);
    }
    if (linux && !bundle) {
        return *linux;
    }
    if (!needBundle) {
        return Target{argument, std::nullopt, argument};
    }
    if (!bundle) {
        return Refusal{"found no installed application with the identifier " + argument +
                       "; name its bundle, PATH.app"};
    }
    return Target{argument, bundle, lastPathComponent(*bundle)};
}

std::variant<UserFolders, Refusal> userFolders(const Ports& ports, bool changes,
                                               const std::string& commandLine) {
    auto located = locateUserFolders(ports.fileSystem);
    if (const auto* refusal = std::get_if<std::string>(&located)) {
        return Refusal{*refusal};
    }
    UserFolders folders = std::get<UserFolders>(std::move(located));
    if (changes) {
        if (auto foreign = foreignHomeRefusal(folders.home, "this", commandLine)) {
            return Refusal{*foreign, kDeclined};
        }
    }
    return folders;
}

void say(Console& console, const std::string& sentence) {
    console.err << "corvane: " << sentence << '\n' << std::flush;
}

int refuse(Console& console, const Refusal& refusal) {
    say(console, refusal.sentence);
    if (refusal.usage) {
        console.err << "Try 'corvane --help' for more information.\n";
    }
    return refusal.code;
}

bool consents(Console& console, bool confirmed, const std::string& action) {
    console.out << std::flush;
    if (confirmed) {
        return true;
    }
    if (!console.interactive) {
        say(console, "add --yes to " + action + " without a terminal");
        return false;
    }
    console.err << "corvane: " << action << "? [y/N] " << std::flush;
    std::string answer;
    std::getline(console.in, answer);
    if (answer != "y" && answer != "Y" && answer != "yes" && answer != "Yes") {
        say(console, "nothing was changed");
        return false;
    }
    return true;
}

namespace {

std::string processes(const std::vector<pid_t>& instances) {
    std::string text = instances.size() == 1 ? "process " : "processes ";
    for (std::size_t i = 0; i < instances.size(); ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(instances[i]);
    }
    return text;
}

} // namespace

std::string runningNote(const RunningApplications* running, const std::string& identifier,
                        const std::string& name) {
    if (!running) {
        return {};
    }
    const Result<std::vector<pid_t>> looked = running->withBundleIdentifier(identifier);
    if (!looked || looked->empty()) {
        return {};
    }
    return name + " is running (" + processes(*looked) + "); it will be asked to quit first.";
}

bool targetHasQuit(RunningApplications* running, Console& console, const std::string& identifier,
                   const std::string& name, const std::string& undone) {
    if (!running) {
        return true;
    }
    Result<std::vector<pid_t>> looked = running->withBundleIdentifier(identifier);
    if (!looked) {
        say(console, "could not tell whether " + name + " is running, so nothing was " + undone +
                         " (" + looked.error().reason + ")");
        return false;
    }
    std::vector<pid_t> instances = std::move(*looked);
    if (instances.empty()) {
        return true;
    }
    if (!console.quiet) {
        say(console, "quitting " + name + " (" + processes(instances) + ")...");
    }
    if (quitAndWait(*running, identifier, std::move(instances), steadyClock()) ==
        QuitWaitOutcome::Quit) {
        return true;
    }
    say(console, name + " did not quit, so nothing was " + undone + "; quit " + name +
                     " yourself, then try again");
    return false;
}

std::function<void()> waitingNotice(Console& console) {
    if (console.quiet) {
        return {};
    }
    return [&console, said = false]() mutable {
        if (!said) {
            say(console, "waiting for another reset or restore to finish...");
            said = true;
        }
    };
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

std::ostream* planStream(Console& console, bool json) {
    // Beside a JSON document or in a quiet run, the plan is shown only to ask about it.
    const bool aside = json || console.quiet;
    if (aside && !console.interactive) {
        return nullptr;
    }
    return aside ? &console.err : &console.out;
}

void showPlan(Console& console, bool json, const std::vector<std::string>& lines) {
    if (std::ostream* where = planStream(console, json)) {
        for (const std::string& line : lines) {
            *where << line << '\n';
        }
        *where << std::flush;
    }
}

} // namespace corvane::cli
