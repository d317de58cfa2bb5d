#pragma once

#include <optional>
#include <string>

namespace corvane {

// What became of a request to put a trashed item back.
enum class PutBackOutcome {
    Restored, // the item is at its original place again
    Occupied, // something else is at the original place; the item stays in the Trash
    Gone,     // nothing is at the given place in the Trash any more
    Refused,  // the given place is not an item of this user's Trash
    Failed,   // the move itself failed; the item stays in the Trash
};

enum class PutBackMode {
    KeepWhatIsThere,    // never replace anything at the original place
    ReplaceWhatIsThere, // the caller has checked that what is there may go
};

// The platform's recoverable delete: the user's Trash.
class Trash {
public:
    virtual ~Trash() = default;

    // Moves the entry to the Trash (a symlink as a link, never followed) and gives back where
    // it now lies; none when it could not be trashed, in which case it is still in its place.
    virtual std::optional<std::string> moveToTrash(const std::string& path) = 0;

    // Puts a copy of the regular file at `path` in the Trash, as if it had been trashed, and
    // leaves the file itself where it is, with its content, mode and modification time.
    virtual std::optional<std::string> copyToTrash(const std::string& path) = 0;

    // Moves the item at `trashedPath` back to `originalPath`, making missing folders on the way,
    // and drops what the Trash kept about it.
    virtual PutBackOutcome putBack(const std::string& trashedPath, const std::string& originalPath,
                                   PutBackMode mode) = 0;
};

} // namespace corvane
