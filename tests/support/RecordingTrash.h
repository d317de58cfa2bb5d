#pragma once

#include "platform/Trash.h"

#include <set>
#include <string>
#include <vector>

namespace corvane::testing {

// A Trash in a folder of its own: entries are really moved there, so the file system shows
// them gone, and every request is recorded. Paths in `refused` cannot be trashed.
class RecordingTrash : public Trash {
public:
    explicit RecordingTrash(std::string folder) : m_folder(std::move(folder)) {}

    std::optional<std::string> moveToTrash(const std::string& path) override;
    std::optional<std::string> copyToTrash(const std::string& path) override;
    PutBackOutcome putBack(const std::string& trashedPath, const std::string& originalPath,
                           PutBackMode mode) override;

    const std::string& folder() const { return m_folder; }

    std::vector<std::string> moved;    // paths trashed, in order
    std::vector<std::string> copied;   // paths of which a copy was trashed
    std::vector<std::string> putBacks; // original paths asked for, in order
    std::set<std::string> refused;
    std::vector<std::string>* events = nullptr; // "trash PATH", shared to check order

private:
    std::optional<std::string> place(const std::string& path);
    std::string m_folder;
    int m_counter = 0;
};

} // namespace corvane::testing
