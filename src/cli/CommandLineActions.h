#pragma once

#include <iosfwd>
#include <optional>
#include <string>

namespace corvane {

struct Services;

namespace cli {

enum ExitCode : int { kDone = 0, kNothingFound = 1, kBadInput = 2 };

// What --reset needs to know besides the bundle.
struct ResetOptions {
    bool confirmed = false;         // --yes
    std::optional<bool> safariHard; // --safari=hard / --safari=soft
    bool interactive = false;       // standard input is a terminal the question can go to
};

// Prints the absolute path of every entry a fix would remove, one per line (or one JSON object),
// in the order the window lists them.
int listEntries(const Services& services, const std::string& bundlePath, bool json,
                std::ostream& out, std::ostream& err);

// Does what Fix does in the window for the bundle, after the user's consent, and prints what it
// removed and what it could not.
int resetApplication(const Services& services, const std::string& bundlePath,
                     const ResetOptions& options, std::istream& in, std::ostream& out,
                     std::ostream& err);

// Puts back the latest reset (of the identifier, when given) with the Restore button's rules.
int restoreLatestReset(const Services& services, const std::optional<std::string>& identifier,
                       std::ostream& out, std::ostream& err);

} // namespace cli
} // namespace corvane
