#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace corvane::bench {

// What to build: a user Library whose Preferences and Saved Application State folders hold
// `entries` entries together, with the target's own entries among them.
struct LibraryShape {
    std::size_t entries = 10000;
    std::string identifier = "com.corvane.bench.Target";
    // Files in the target's saved-state folder; more makes a heavier fix.
    std::size_t targetStateFiles = 6;
    // When not 0, the target's own entries are only this many per-host preference files
    // (ByHost/ID.<8 hex digits>.plist), each an entry of its own for the fix to move.
    std::size_t targetByHostFiles = 0;
    // Entries beneath Caches (Safari's and other applications'); 0 leaves Caches and Cookies out.
    std::size_t cachesEntries = 0;
    // Entries beneath the Safari folder, LastSession.plist among them; 0 leaves it out.
    std::size_t safariEntries = 0;
    unsigned seed = 1;
};

// A synthetic user Library of realistic shape (flat plist files, ByHost files and nested
// folders in Preferences; saved-state folders with their window files; caches and cookie files)
// and the entries in it that belong to the target, as the analysis and the fix see them.
class SyntheticLibrary {
public:
    // Builds the Library at `home`/Library, which must not exist yet.
    static SyntheticLibrary build(const std::string& home, const LibraryShape& shape);

    std::string home;
    std::string library;
    // Entries created beneath Preferences and Saved Application State together.
    std::size_t walkedEntries = 0;
    std::size_t cachesEntries = 0;
    // Absolute paths that contain the identifier, letter case significant, in creation order.
    std::vector<std::string> preferenceMatches;
    std::vector<std::string> stateMatches;
    // Absolute paths beneath Caches and Cookies that contain the identifier, ignoring case.
    std::vector<std::string> cacheMatches;

    // The matches that do not lie beneath another match: what one `rm -rf` needs to be given.
    static std::vector<std::string> topmost(const std::vector<std::string>& paths);
};

} // namespace corvane::bench
