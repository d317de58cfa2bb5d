#pragma once

#include "platform/FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// One entry a reset moved to the Trash.
struct TrashedEntry {
    std::string original; // where it was, its parent folder resolved
    std::string trashed;  // where it lies in the Trash
    // For a copy put in the Trash while the file itself stayed (the cookie store, emptied
    // afterwards): the file as the reset left it. The copy may replace the file only while the
    // file is still that version.
    std::optional<EntryStamp> leftInPlace;
    bool operator==(const TrashedEntry&) const = default;
};

// What one reset did, kept so that it can be undone.
struct ResetRecord {
    std::string id; // the record's name among the others, given when it is first written
    std::string identifier;
    std::string applicationName;
    std::string applicationPath;
    bool systemTarget = false;        // not asked to quit
    std::int64_t time = 0;            // seconds since the epoch
    std::vector<TrashedEntry> moved;  // in the order they were moved
    std::vector<std::string> removed; // removed for good: no Trash would take them
};

std::string resetRecordJson(const ResetRecord& record);
// None for text that is not a whole, well-formed record.
std::optional<ResetRecord> parseResetRecord(std::string_view text);

// The records of the user's resets: one small JSON file each, in one folder.
class ResetRecords {
public:
    static constexpr std::size_t kKept = 20;

    explicit ResetRecords(std::string folder) : m_folder(std::move(folder)) {}
    // The folder the records of a user Library go to.
    static std::string folderIn(const std::string& library);

    // Writes the record as a new file, names it (sets `record.id`) and drops the oldest records
    // beyond `kept`. False when it could not be written.
    bool add(ResetRecord& record, std::size_t kept = kKept);
    // Replaces the content of the record's file.
    bool update(const ResetRecord& record);
    void remove(const std::string& id);

    // The newest record that reads well (of that identifier, when given), if any.
    std::optional<ResetRecord> latest(const std::optional<std::string>& identifier = {}) const;

private:
    std::vector<std::string> ids() const; // oldest first
    std::string fileFor(const std::string& id) const;
    bool write(const std::string& id, const ResetRecord& record) const;

    std::string m_folder;
};

} // namespace corvane
