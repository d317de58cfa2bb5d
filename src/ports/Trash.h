#pragma once

#include "base/Result.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

// Which item an entry is, as its move to the Trash left it. A rename keeps all of it, so it
// tells the very item a reset moved from another one of the same name; see Trash::examine for
// how much of it must agree.
struct EntryIdentity {
    EntryIdentity() = default;
    EntryIdentity(std::uint64_t device_, std::uint64_t inode_,
                  std::optional<std::uint64_t> size_ = {},
                  std::optional<std::int64_t> modifiedNanoseconds_ = {},
                  std::string deletionDate_ = {})
        : device(device_), inode(inode_), size(size_), modifiedNanoseconds(modifiedNanoseconds_),
          deletionDate(std::move(deletionDate_)) {}

    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    // Size and modification time; none in records kept before they were noted.
    std::optional<std::uint64_t> size;
    std::optional<std::int64_t> modifiedNanoseconds;
    // The deletion time the Trash noted for the item, exactly as written; empty when unknown.
    std::string deletionDate;
    bool operator==(const EntryIdentity&) const = default;
};

// Seconds since the epoch, both ends included.
struct TimeSpan {
    std::int64_t from = 0;
    std::int64_t to = 0;
};

// An entry's reserved place in the Trash. On a freedesktop desktop the Trash's information file
// for it is written when the place is reserved, before the entry moves; where the platform names
// the place only after the move (macOS), `trashed` is empty until then.
struct TrashSlot {
    std::string original;
    std::string trashed;
    EntryIdentity identity; // of the entry when its place was reserved
    // A folder's time may change as it moves (its ".." entry is rewritten on some systems);
    // a file's and a link's never do.
    bool folder = false;
};

// What lies at a place in the Trash a record names.
enum class TrashedItemState {
    Ours,    // the very item that was moved there
    Missing, // nothing
    NotOurs, // an item that cannot be proven to be the one moved there
    Refused, // the place is not in a Trash of this user's
};

// What became of a request to put a trashed item back.
enum class PutBackOutcome {
    Restored, // the item is at its original place again
    Occupied, // something else is at the original place; the item stays in the Trash
    Gone,     // nothing is in the Trash at that place any more
    NotOurs,  // another item is at that place in the Trash; it stays there
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
    // the Trash keeps about it. The entry does not move yet; the slot's identity is the entry's
    // as it is now, with the deletion time written for it.
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
    // `originals` with a deletion time in its span: a reset stopped between writing it and its
    // move leaves such a note.
    virtual void forgetOrphans(const std::map<std::string, TimeSpan>& originals) {
        (void)originals;
    }

    // True when a Trash that entries of those places go to holds a note without its item.
    virtual bool hasNotesWithoutItems(const std::vector<std::string>& places) {
        (void)places;
        return true;
    }

    // The items the Trash holds as trashed from one of `originals` with a deletion time within
    // `span`, each with its identity as found: the journal of the reset that moved them was lost.
    virtual std::vector<TrashSlot> findTrashedFrom(const std::vector<std::string>& originals,
                                                   const TimeSpan& span) {
        (void)originals;
        (void)span;
        return {};
    }

    // Whether the item at `trashedPath` is the one moved there from `originalPath` with that
    // identity.
    virtual TrashedItemState examine(const std::string& trashedPath,
                                     const std::string& originalPath,
                                     const EntryIdentity& identity) = 0;

    // Moves the item at `trashedPath` back to `originalPath`, making missing folders on the way,
    // and drops what the Trash kept about it, which may go on after the call returns (see
    // settle()); only when examine() finds it ours.
    virtual PutBackOutcome putBack(const std::string& trashedPath, const std::string& originalPath,
                                   const EntryIdentity& identity, PutBackMode mode) = 0;

    // Returns once what earlier calls left going on is done.
    virtual void settle() {}
};

} // namespace corvane
