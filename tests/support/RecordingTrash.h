#pragma once

#include "ports/Trash.h"

#include <set>
#include <string>
#include <vector>

namespace corvane::testing {

// A Trash in a folder of its own: entries are really moved there, so the file system shows
// them gone, and every request is recorded. No Trash takes the paths in `refused`; the moves of
// those in `failing` fail although the look ahead saw no reason.
class RecordingTrash : public Trash {
public:
    explicit RecordingTrash(std::string folder) : m_folder(std::move(folder)) {}

    std::optional<std::string> unavailableReason(const std::string& path) override;
    Result<TrashSlot> reserve(const std::string& path) override;
    Result<std::string> moveInto(const TrashSlot& slot) override;
    void release(const TrashSlot& slot) override;
    Status copyBack(const TrashSlot& slot) override;
    TrashedItemState examine(const std::string& trashedPath, const std::string& originalPath,
                             const EntryIdentity& identity) override;
    PutBackOutcome putBack(const std::string& trashedPath, const std::string& originalPath,
                           const EntryIdentity& identity, PutBackMode mode) override;

    const std::string& folder() const { return m_folder; }

    std::vector<std::string> moved;    // paths trashed, in order
    std::vector<std::string> copied;   // paths of which a copy was put back in place
    std::vector<std::string> putBacks; // original paths asked for, in order
    std::vector<std::string> released; // original paths whose reservation was dropped
    std::set<std::string> refused;
    std::set<std::string> failing;
    std::vector<std::string>* events = nullptr; // "trash PATH", shared to check order

private:
    std::string m_folder;
    int m_counter = 0;
};

} // namespace corvane::testing
