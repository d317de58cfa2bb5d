#pragma once

#include "cli/CommandLineActions.h"
#include "core/UserFolders.h"
#include "core/fix/ResetEnding.h"
#include "core/linuxapps/LinuxPackage.h"

#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace corvane::cli {

// A target as the commands know it: its identifier always, its bundle when there is one.
struct Target {
    std::string identifier;
    std::optional<std::string> bundle;
    std::string name; // "Widget.app", a desktop entry's Name, or the identifier
    TargetFamily family = TargetFamily::Bundle;
    // A Linux application whose id has no dot: no folder is its own.
    bool tooGeneric = false;
    std::optional<std::string> desktopFile =
        std::nullopt; // a Linux application's, which the window opens on
    LinuxPackage package = LinuxPackage::Any;
    // An id with both a Flatpak and a host package installed, when the argument picked neither:
    // the arguments that name each ("ID:host", "ID:flatpak") with their names.
    std::vector<std::pair<std::string, std::string>> packages = {};
    // Every installed application's id, read when the target was looked up.
    std::vector<std::string> installedIds = {};
};

// The suffixes that pick one package of an id that has both.
constexpr const char* kHostSuffix = ":host";
constexpr const char* kFlatpakSuffix = ":flatpak";

// A refusal: what to say, and the exit code it ends with.
struct Refusal {
    std::string sentence;
    int code = kBadInput;
    bool usage = false; // a mistake in the command line: the help is pointed to
};

// The target named on the command line. An identifier that is no installed bundle's but an
// installed Linux desktop application's id is that application (ID:host and ID:flatpak pick one
// package of an id that has both); otherwise, with `needBundle`, it must be an installed
// bundle's.
std::variant<Target, Refusal> resolveTarget(const Ports& ports, const std::string& argument,
                                            bool needBundle);

// The usage error for a target whose id names two packages and the argument picked neither.
std::optional<Refusal> packageNotPicked(const Target& target);

// The user's folders, or why they cannot be used; with `changes`, a home that belongs to someone
// else is refused when running as root.
std::variant<UserFolders, Refusal> userFolders(const Ports& ports, bool changes,
                                               const std::string& commandLine);

// Prints the refusal on the console and gives its exit code.
int refuse(Console& console, const Refusal& refusal);

// A line of diagnostics: "corvane: " and the sentence.
void say(Console& console, const std::string& sentence);

// The user's consent, after the plan was shown: --yes, or "y" on a terminal. `action` is
// "reset Widget.app" and the like.
bool consents(Console& console, bool confirmed, const std::string& action);

// Asks the running instances of the target, as `running` finds them (none: nothing is seen
// running), to quit, naming them, and waits for them.
bool targetHasQuit(RunningApplications* running, Console& console, const std::string& identifier,
                   const std::string& name, const std::string& undone);

// The running instances, as a sentence for the plan ("Widget.app is running (process 4242)");
// empty when none.
std::string runningNote(const RunningApplications* running, const std::string& identifier,
                        const std::string& name);

int exitCodeFor(ResetEnding ending);

// What to call while the lock is awaited: says so once, unless the run is quiet.
std::function<void()> waitingNotice(Console& console);

// Writes the plan's lines where the user sees them before the question: on the output, or on
// the diagnostics when the output is a JSON document.
void showPlan(Console& console, bool json, const std::vector<std::string>& lines);
// Where those lines go, for a plan written a line at a time; none when it is not shown.
std::ostream* planStream(Console& console, bool json);

} // namespace corvane::cli
