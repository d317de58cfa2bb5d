#pragma once

#include "base/Result.h"
#include "ports/FileSystem.h"
#include "ports/SettingsDatabase.h"
#include "ports/Trash.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace corvane {

// One entry a reset moved to the Trash.
struct TrashedEntry {
    std::string original;   // where it was, its parent folder resolved
    std::string trashed;    // where it lies in the Trash
    EntryIdentity identity; // of the item itself; a rename keeps it
    // For a copy put in the Trash while the file itself stayed (the cookie store, emptied
    // afterwards): the file as the reset left it. The copy may replace the file only while the
    // file is still that version.
    std::optional<EntryStamp> leftInPlace;
    bool operator==(const TrashedEntry&) const = default;
};

// A folder of the settings database as a reset found it, just before resetting it.
struct SettingsDump {
    SettingsFolder folder;
    SettingsValues values;
    bool operator==(const SettingsDump&) const = default;
};

// What one reset did, kept so that it can be undone.
struct ResetRecord {
    std::string id; // the record's name among the others, given when it is first written
    std::string identifier;
    std::string applicationName;
    std::string applicationPath;
    bool systemTarget = false;        // not asked to quit
    std::int64_t time = 0;            // seconds since the epoch
    std::vector<std::string> planned; // every entry the reset set out to take, in order
    std::vector<TrashedEntry> moved;  // in the order they were moved (or about to be)
    std::vector<std::string> removed; // removed for good, with the user's consent
    // Set when the record holds what a restore of that record found written since and moved
    // out of the way.
    std::string replacedByRestoring;
    // The kinds of entries the reset took (ids of the kinds table); empty in records written
    // before kinds could be chosen, which took every kind.
    std::vector<std::string> kinds;
    // The folders of the settings database it reset, each with the keys it held; they stay in
    // the record until they are written back.
    std::vector<SettingsDump> settings;
    // When its file was last written (seconds since the epoch), as read; not kept in the file.
    std::int64_t lastWritten = 0;

    // Everything it took, as the history counts it: moved, removed and settings folders.
    std::size_t entryCount() const { return moved.size() + removed.size() + settings.size(); }
};

// A record is a journal in JSON Lines: a head (the application and every planned entry) written
// before anything moves, then one line per entry, written before that entry moves. A reader
// ignores a last line cut short (the writer was stopped while writing it).
std::string resetRecordHeadLine(const ResetRecord& record);
std::string movedEntryLine(const TrashedEntry& entry);
// The same line written into `line`, whose room is kept from one entry to the next.
void writeMovedEntryLine(std::string& line, const EntryIdentity& identity,
                         std::string_view original, std::string_view trashed);
// The identity an entry has after its move, where it differs from the one its line announced.
std::string settledLine(const std::string& trashed, const EntryIdentity& identity);
std::string removedEntryLine(const std::string& path);
std::string leftInPlaceLine(const std::string& trashed, const EntryStamp& stamp);
// The move announced by the line for `trashed` failed: the entry stayed where it was.
std::string stayedLine(const std::string& trashed);
// A folder of the settings database about to be reset, with its keys (a later line of the same
// folder replaces it); an error when a value cannot be kept as text the record reads back.
Result<std::string> settingsDumpLine(const SettingsDump& dump);
// The reset of the folder announced by its dump did not happen.
std::string settingsStayedLine(const std::string& folder);
// The whole record as a journal that holds what it lists.
std::string resetRecordText(const ResetRecord& record);
// None for text whose head or any whole line does not read.
std::optional<ResetRecord> parseResetRecord(std::string_view text);

// The journal of a reset in progress. Lines go to the file at once (a killed run loses none of
// them) and reach the disk in batches; the head reached it before the first move.
class ResetJournal {
public:
    // Lines written between two flushes to the disk; a power cut loses at most these.
    static constexpr std::size_t kSyncBatch = 256;

    ResetJournal(int fd, std::string id, std::string folder)
        : m_fd(fd), m_id(std::move(id)), m_folder(std::move(folder)) {}
    ResetJournal(const ResetJournal&) = delete;
    ResetJournal& operator=(const ResetJournal&) = delete;
    ~ResetJournal(); // flushes and closes

    const std::string& id() const { return m_id; }
    Status append(const std::string& line);
    Status sync();

private:
    int m_fd;
    std::string m_id;
    std::string m_folder;
    std::size_t m_unsynced = 0;
};

// What the newest record is, when it is not a readable record.
struct DamagedRecord {
    std::string id;
    // Not even its first line was written whole: the reset it began moved nothing.
    bool holdsNothing = false;
};
using LatestRecord = std::variant<std::monostate, ResetRecord, DamagedRecord>;
// One kept record as it reads.
using KeptRecord = std::variant<ResetRecord, DamagedRecord>;

// True for a name a record can have ("20261208T093000Z-00"); such a name holds no ".", so it
// never reads as an application identifier.
bool isRecordId(std::string_view id);

// The records of the user's resets: one journal file each, in one folder.
class ResetRecords {
public:
    static constexpr std::size_t kKept = 20;

    explicit ResetRecords(std::string folder) : m_folder(std::move(folder)) {}
    // The folder the records of a user Library go to.
    static std::string folderIn(const std::string& library);
    const std::string& folder() const { return m_folder; }

    // Makes the folder (for the user alone) when missing.
    Status makeFolder() const;

    // Creates a new record under a name of its own, writes its head and makes it last on disk,
    // then drops the oldest records beyond `kept`. Sets `record.id`.
    Result<std::unique_ptr<ResetJournal>> begin(ResetRecord& record, std::size_t kept = kKept);
    // Replaces the record's file with what `record` holds now, all at once.
    Status rewrite(const ResetRecord& record);
    void remove(const std::string& id);

    // The newest record (of that identifier, when given). A newest record that does not read is
    // named, and no older one is taken in its place.
    LatestRecord latest(const std::optional<std::string>& identifier = {}) const;
    // Every kept record, newest first (of that identifier, when given: a record that does not
    // read is listed either way, since it may be of it).
    std::vector<KeptRecord> all(const std::optional<std::string>& identifier = {}) const;
    // The record of that name; none when there is no such record.
    LatestRecord named(const std::string& id) const;
    // Hands every kept record to `visit`, newest first, one read at a time (of that identifier,
    // when given, as all() chooses them); `visit` returns false to stop.
    void forEach(const std::optional<std::string>& identifier,
                 const std::function<bool(KeptRecord&)>& visit) const;

private:
    std::vector<std::string> ids() const; // oldest first
    std::string fileFor(const std::string& id) const;
    KeptRecord read(const std::string& id) const;

    std::string m_folder;
};

} // namespace corvane
