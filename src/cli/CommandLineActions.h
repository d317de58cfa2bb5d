#pragma once

#include <iosfwd>
#include <optional>
#include <string>

namespace corvane {

class BundleReader;
class CookieStore;
class FileSystem;
class ProcessLauncher;
class RunningApplications;
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
};

// The same for every command: 0 done, 1 nothing to do, 2 bad input or usage, 3 partly done,
// 4 declined or refused (nothing was changed).
enum ExitCode : int { kDone = 0, kNothingFound = 1, kBadInput = 2, kPartial = 3, kDeclined = 4 };

// What --reset needs to know besides the bundle.
struct ResetOptions {
    bool confirmed = false;         // --yes
    std::optional<bool> safariHard; // --safari=hard / --safari=soft
    bool interactive = false;       // standard input is a terminal the question can go to
    bool removeForGood = false;     // --no-trash: what no Trash takes is removed for good
};

// Prints the absolute path of every entry a fix would remove, one per line (or one JSON object),
// in the order the window lists them.
int listEntries(const Ports& ports, const std::string& bundlePath, bool json, std::ostream& out,
                std::ostream& err);

// Does what Fix does in the window for the bundle, after the user's consent, and prints what it
// removed and what it could not.
int resetApplication(const Ports& ports, const std::string& bundlePath, const ResetOptions& options,
                     std::istream& in, std::ostream& out, std::ostream& err);

// Puts back the latest reset (of the identifier, when given) with the Restore button's rules.
int restoreLatestReset(const Ports& ports, const std::optional<std::string>& identifier,
                       std::ostream& out, std::ostream& err);

} // namespace cli
} // namespace corvane
