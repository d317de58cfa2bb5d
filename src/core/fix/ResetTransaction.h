#pragma once

#include "base/Result.h"
#include "core/fix/LibraryRemover.h"
#include "core/fix/ResetEnding.h"
#include "core/fix/ResetLock.h"
#include "ports/Ports.h"
#include "ports/SettingsDatabase.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

class CookieStore;
class ResetJournal;
class FileSystem;
struct UserFolders;

// What a reset takes, decided before anything moves.
struct ResetPlan {
    std::optional<std::string> identifier;
    std::string applicationName; // "Widget.app"
    std::string applicationPath;
    bool systemTarget = false; // restarted, not asked to quit
    bool hardSafari = false;
    std::vector<std::string> listed; // the preference and saved-state entries shown to the user
    // A Hard reset's further entries; found by the transaction when left empty.
    std::vector<std::string> hardReset;
    std::optional<std::string> cookieStoreFile;
    // Whether the target's preferences domain is cleared: only when its settings are taken.
    bool clearsDomain = true;
    std::vector<std::string> kinds; // the ids of the kinds of entries taken, for the record
    // Folders of the settings database reset after the files, each dumped into the record first.
    std::vector<SettingsFolder> settings;
};

// The further entries of a Hard Safari reset: the Safari folder, the adware folder when present,
// and Safari's own entries of Caches and Cookies.
std::vector<std::string> hardResetEntries(const FileSystem& fs, const UserFolders& folders,
                                          const std::string& identifier);

// What a Hard Safari reset would take, for showing before it runs.
struct HardResetPreview {
    struct Entry {
        std::string path;
        bool exists = false;
        std::optional<std::size_t> items; // for a folder: how many items lie beneath it
    };
    std::vector<Entry> entries;         // the further entries, in the order the reset takes them
    std::string cookieStore;            // how the shared cookie store is named to the user
    std::optional<std::size_t> cookies; // every cookie of it; none when it could not be read
};
HardResetPreview previewHardReset(const FileSystem& fs, const UserFolders& folders,
                                  const std::string& identifier, CookieStore* cookies);

// The system tools as every face runs them for a reset: through the ports' launcher, with what
// they say logged.
LibraryRemover::RunTool toolRunnerThrough(const Ports& ports);

// How a reset ended, for any face to show.
struct ResetOutcome {
    ResetEnding ending = ResetEnding::Done;
    std::vector<std::string> leftovers; // what is still there, in the order it was asked for
    std::vector<std::string> reasons;   // why, each once
    std::size_t trashed = 0;
    std::size_t removedForGood = 0;
    bool recorded = false; // Restore can put the trashed entries back
    std::string record;    // the record's name, when recorded
    std::string refusal;   // with Declined: why nothing was changed
    // Folders of the settings database reset, their keys in the record.
    std::vector<std::string> settingsReset;
    // Keys the administrator locked in them: their values stay in force.
    std::vector<std::string> lockedKeys;
};

// The account of a reset, as the closing sheet and the command line give it; `howToRestore` says
// in the face's own words how the trashed entries come back.
std::string resetAccountText(const std::string& applicationName, const ResetOutcome& outcome,
                             const std::string& howToRestore = "press Restore to put them back");

// One reset of the user's Library as a transaction: it holds the home's lock from begin() on, so
// no other reset or restore runs while the face waits for the target to quit and asks its
// questions; apply() writes the journal before every move.
class ResetTransaction {
public:
    static constexpr std::chrono::milliseconds kLockWait{10'000};

    // Takes the lock, trying again for up to kLockWait while another run holds it; `whileWaiting`
    // is called between tries. The refusal says in plain words why nothing can be done.
    // The facilities of `ports` must outlive the transaction.
    static Result<ResetTransaction> begin(ResetPlan plan, const Ports& ports,
                                          const std::function<void()>& whileWaiting = {});

    // Replaces the plan, for a face that plans only once it holds the lock.
    void setPlan(ResetPlan plan);

    // The look ahead: the entries no Trash can take, which go only with removeForGood.
    Untrashable untrashable();

    // What apply() moves, as the look ahead found it: each topmost entry once, with how many of
    // the planned entries go with it (itself included).
    struct Move {
        std::string path;
        std::size_t items = 0;
    };
    std::vector<Move> moves();

    // How many entries apply() goes through, one tick each: what the plan lists and, once the
    // look ahead has found them, a Hard reset's further entries.
    std::size_t entryCount() const { return m_plan.listed.size() + m_plan.hardReset.size(); }

    // Moves what the plan lists to the Trash (and removes for good what no Trash takes, when
    // allowed), clears the preferences domain, and restarts a system target. SIGINT, SIGTERM
    // and SIGHUP stop it after the entry in hand. `tick` is called for every entry.
    ResetOutcome apply(bool removeForGood, const std::function<void()>& tick = {});

private:
    ResetTransaction(ResetPlan plan, const Ports& ports, std::optional<ResetLock> lock,
                     std::optional<std::string> library, std::optional<std::string> home);
    std::vector<std::string> planned() const;
    void removeEach(LibraryRemover& remover, const std::vector<std::string>& paths,
                    const std::function<void()>& tick);
    std::optional<std::string> runTool(const std::string& tool,
                                       const std::vector<std::string>& arguments);
    bool hasDefaults() const;
    void clearDomain();
    void restartSystemTarget();
    std::optional<std::string> emptyCookieStore(LibraryRemover& remover);
    // Resets the plan's folders of the settings database, each dump in the journal first; those
    // that stay are added to `stayed` with their reasons.
    void resetSettings(ResetJournal* journal, ResetOutcome& outcome,
                       std::vector<std::pair<std::string, std::string>>& stayed);
    void log(const std::string& line) const;

    ResetPlan m_plan;
    Ports m_ports;
    LibraryRemover::RunTool m_runTool;
    std::optional<ResetLock> m_lock;
    std::optional<std::string> m_library;
    std::optional<std::string> m_home;
    std::optional<LibraryRemover> m_remover;
    std::vector<std::string> m_targets; // what the plan lists, as the remover will take it
};

} // namespace corvane
