#pragma once

#include "base/Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

// Which file an entry is. A rename keeps it, so it tells the very item a reset moved from
// another one of the same name.
struct EntryIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const EntryIdentity&) const = default;
};

// An entry's reserved place in the Trash. On a freedesktop desktop the Trash's information file
// for it is written when the place is reserved, before the entry moves; where the platform names
// the place only after the move (macOS), `trashed` is empty until then.
struct TrashSlot {
    std::string original;
    std::string trashed;
    EntryIdentity identity; // of the entry when its place was reserved
};

// What became of a request to put a trashed item back.
enum class PutBackOutcome {
    Restored, // the item is at its original place again
    Occupied, // something else is at the original place; the item stays in the Trash
    Gone,     // the very item is not in the Trash any more (gone, or another item in its place)
    Refused,  // the given place is not an item of this user's Trash
    Failed,   // the move itself failed; the item stays in the Trash
};

enum class PutBackMode {
    KeepWhatIsThere,    // never replace anything at the original place
    ReplaceWhatIsThere, // the caller has checked that what is there may go
};

// The platform's recoverable delete: the user's Trash. Paths are bytes; nothing assumes UTF-8.
class Trash {
public:
    virtual ~Trash() = default;

    // Why no Trash can take the entry (no usable Trash on its file system), in a few plain words;
    // none when one can. A look ahead: the move itself may still fail.
    virtual std::optional<std::string> unavailableReason(const std::string& path) = 0;

    // Picks a free place in the Trash for the entry (not followed when a link) and writes what
    // the Trash keeps about it. The entry does not move yet.
    virtual Result<TrashSlot> reserve(const std::string& path) = 0;

    // Moves the entry into its reserved place (a symlink as a link, never followed; never by
    // copying across file systems) and gives back where it now lies. On failure the entry is
    // still in its place and the reservation is dropped.
    virtual Result<std::string> moveInto(const TrashSlot& slot) = 0;

    // Drops a reservation whose entry never moved: its place in the Trash is empty and what the
    // Trash keeps about it names `slot.original`. Anything else is left alone.
    virtual void release(const TrashSlot& slot) = 0;

    // Writes a copy of the regular file lying at `slot.trashed` to `slot.original` (which must
    // be free), with its content, mode and modification time.
    virtual Status copyBack(const TrashSlot& slot) = 0;

    // Drops what the Trash keeps about items that are no longer in it, where that names one of
    // `originals`: a reset stopped between writing it and its journal line leaves such a note.
    virtual void forgetOrphans(const std::vector<std::string>& originals) { (void)originals; }

    // Moves the item at `trashedPath` back to `originalPath`, making missing folders on the way,
    // and drops what the Trash kept about it; only when it is the very item a reset moved: its
    // identity is `identity` and the Trash holds it as trashed from `originalPath`.
    virtual PutBackOutcome putBack(const std::string& trashedPath, const std::string& originalPath,
                                   const EntryIdentity& identity, PutBackMode mode) = 0;
};

} // namespace corvane
