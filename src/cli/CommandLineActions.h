#pragma once

#include "core/analysis/Kinds.h"

#include <iosfwd>
#include <optional>
#include <string>

namespace corvane {

class ApplicationBus;
class BundleReader;
class CookieStore;
class DesktopApplications;
class FileSystem;
class ProcessLauncher;
class RunningApplications;
class SessionProcesses;
class SystemLog;
class Trash;
class Workspace;

namespace cli {

// The host's facilities the commands reach.
struct Ports {
    FileSystem* fileSystem = nullptr;
    Workspace* workspace = nullptr;
    BundleReader* bundles = nullptr;
    ProcessLauncher* launcher = nullptr;
    RunningApplications* runningApplications = nullptr;
    CookieStore* cookieStore = nullptr;
    SystemLog* systemLog = nullptr;
    Trash* trash = nullptr;
    DesktopApplications* desktopApplications = nullptr; // none: no Linux application is a target
    SessionProcesses* sessionProcesses = nullptr; // none: no Linux application is seen running
    ApplicationBus* applicationBus = nullptr;     // none: Linux applications are sent SIGTERM
};

// The same for every command: 0 done, 1 nothing to do, 2 bad input or usage, 3 partly done,
// 4 declined or refused (nothing was changed).
enum ExitCode : int { kDone = 0, kNothingFound = 1, kBadInput = 2, kPartial = 3, kDeclined = 4 };

// Where a command talks: its result on `out`, questions and diagnostics on `err`, answers from
// `in` when it is a terminal and a question is to be asked. `quiet`: only failures are said.
struct Console {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool interactive = false;
    bool quiet = false;
};

enum class OutputForm { Lines, NulTerminated, Json };

struct ListOptions {
    OutputForm form = OutputForm::Lines;
    std::optional<bool> safariHard; // --safari=hard / --safari=soft
    KindSelection kinds;            // --only
};

struct ResetOptions {
    bool confirmed = false;         // --yes
    std::optional<bool> safariHard; // --safari=hard / --safari=soft
    bool removeForGood = false;     // --no-trash: what no Trash takes is removed for good
    KindSelection kinds;            // --only
    bool json = false;
    std::string commandLine; // as the user typed it, for the sentence that refuses a foreign home
};

struct RestoreOptions {
    bool confirmed = false;
    bool json = false;
    std::string commandLine;
};

// A target is an application bundle (an argument holding "/" or ending in ".app") or an
// identifier: a bundle's, or else an installed Linux desktop application's id.
bool namesABundle(const std::string& argument);

// Prints the absolute path of every entry a reset would remove, in the order the window lists
// them (a Hard Safari reset's further entries last).
int listEntries(const Ports& ports, const std::string& target, const ListOptions& options,
                Console& console);

// Does what Fix does in the window, after showing what it will remove and the user's consent.
int resetApplication(const Ports& ports, const std::string& target, const ResetOptions& options,
                     Console& console);

// Puts back a reset: the latest, the latest of an identifier, or the record of that name.
int restoreReset(const Ports& ports, const std::optional<std::string>& which,
                 const RestoreOptions& options, Console& console);

// Lists the kept resets, newest first (of the identifier, when given).
int listHistory(const Ports& ports, const std::optional<std::string>& identifier, bool json,
                bool legend, Console& console);

} // namespace cli
} // namespace corvane
