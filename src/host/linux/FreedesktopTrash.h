#pragma once

#include "base/BackgroundRemovals.h"
#include "base/Directory.h"
#include "ports/Trash.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <unistd.h>

namespace corvane {

// The path as a .trashinfo file writes it: every byte but A-Z a-z 0-9 - _ . ~ / as %XX.
std::string percentEncodedPath(std::string_view path);
// The same, added to the end of `text`.
void appendPercentEncodedPath(std::string& text, std::string_view path);

// The decoded Path of the first [Trash Info] group of a .trashinfo file's text; none when it
// has none or it is malformed.
std::optional<std::string> trashInfoPath(std::string_view infoFileText);
// The value of `key` in that group, as written.
std::optional<std::string> trashInfoValue(std::string_view infoFileText, std::string_view key);

// The user's Trash as freedesktop.org desktops keep it, without a toolkit: the home Trash
// ($XDG_DATA_HOME/Trash) for entries on the data home's file system, and a Trash at the top of
// any other file system ($topdir/.Trash/$uid or $topdir/.Trash-$uid). Entries only ever move by
// rename, so an entry whose file system has no usable Trash is refused, never copied.
class FreedesktopTrash : public Trash {
public:
    // None when the environment gives no absolute home.
    static std::optional<FreedesktopTrash> locate();

    explicit FreedesktopTrash(const std::string& dataHome, uid_t uid = getuid());

    std::optional<std::string> unavailableReason(const std::string& path) override;
    Result<TrashSlot> reserve(const std::string& path) override;
    Result<std::string> moveInto(const TrashSlot& slot) override;
    void release(const TrashSlot& slot) override;
    Status copyBack(const TrashSlot& slot) override;
    TrashedItemState examine(const std::string& trashedPath, const std::string& originalPath,
                             const EntryIdentity& identity) override;
    PutBackOutcome putBack(const std::string& trashedPath, const std::string& originalPath,
                           const EntryIdentity& identity, PutBackMode mode) override;
    void settle() override;
    void forgetOrphans(const std::map<std::string, TimeSpan>& originals) override;
    bool hasNotesWithoutItems(const std::vector<std::string>& places) override;
    std::vector<TrashSlot> findTrashedFrom(const std::vector<std::string>& originals,
                                           const TimeSpan& span) override;

private:
    // A Trash's files/ and info/ folders, open while entries go in or come out.
    struct OpenTrashFolders {
        FolderHandle files;
        FolderHandle info;
    };
    // The Trash serving one file system, or why there is none.
    struct DeviceTrash {
        std::string topdir;  // empty for the home Trash, whose info files hold absolute paths
        std::string root;    // holds files/ and info/; empty when refused
        std::string refusal; // set when no Trash can take entries of this file system
        bool ready = false;  // its folders exist and passed the checks
        std::string files;   // root/files/ and root/info/, joined once for every entry
        std::string info;
        mutable OpenTrashFolders open;
    };

    // The cached Trash of `device`, valid until the cache is next changed.
    Result<const DeviceTrash*> trashFor(const std::string& path, dev_t device, bool make);
    DeviceTrash topDirTrash(const std::string& topdir, dev_t device, bool make) const;
    dev_t homeDevice();
    bool isTrashFilesFolder(const std::string& folder) const;
    // The open folders of the checked Trash whose files/ folder is `folder`; none when unchecked.
    OpenTrashFolders* openFoldersOf(const std::string& folder) const;
    // The rename of the entry at `original` to `trashed`, the folder of each by its handle.
    int moveKeeping(const std::string& original, const std::string& trashed,
                    const DeviceTrash* trash);
    // What an item's info file says: the place it was trashed from (absolute) and when.
    struct InfoNote {
        std::string path;
        std::string deletionDate;
    };
    // None when the info file is missing (`missing` then says so), unreadable or has no Path.
    std::optional<InfoNote> readInfo(const std::string& trashed, bool* missing = nullptr) const;
    static bool namesOriginal(const InfoNote& note, const std::string& original);
    bool infoNames(const std::string& trashed, const std::string& original) const;
    // The Trashes entries of those places go to: the home's and one per other file system.
    std::map<std::string, std::string> trashRootsFor(const std::vector<std::string>& originals);
    // Every note in those Trashes, by its Trash's root and the name of its item, and whether
    // that item is there; the paths are joined only for the notes a caller looks into.
    void forEachInfoFile(const std::vector<std::string>& originals,
                         const std::function<void(const std::string& root, const std::string& stem,
                                                  bool present)>& visit);

    std::string m_dataHome;
    uid_t m_uid;
    std::optional<dev_t> m_homeDevice;
    std::map<dev_t, DeviceTrash> m_trashes; // so that many entries do not re-check the folders
    // The same, for putting back: each checked files/ folder and its Trash's open folders.
    mutable std::map<std::string, OpenTrashFolders> m_checkedFilesFolders;
    FolderHandle m_entryFolder; // the folder of the entries moving: most share one
    // The info files of items put back are removed side by side: each removal may wait for the
    // device, and nothing needs them gone before the restore ends. Copies share them.
    std::shared_ptr<BackgroundRemovals> m_infoRemovals = std::make_shared<BackgroundRemovals>();
    // The note, the name tried and its info file's path, written over from one entry to the next.
    std::string m_noteBuffer;
    std::string m_candidateBuffer;
    std::string m_infoBuffer;
    std::map<std::string, dev_t, std::less<>> m_folderDevices; // for the look ahead
    std::set<std::string> m_heldNames; // places in files/ taken by an item without info file
};

} // namespace corvane
