#include "host/linux/FreedesktopTrash.h"

#include "base/Directory.h"
#include "base/KillPoint.h"
#include "base/Paths.h"
#include "base/RegularFile.h"
#include "base/Text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <set>
#include <sys/stat.h>
#include <unordered_set>

namespace corvane {

namespace {

constexpr std::string_view infoSuffix = ".trashinfo";
constexpr std::size_t nameMax = 255;
constexpr int numberedTries = 16;
constexpr int allTries = 64;

std::string joined(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

bool isUnder(const std::string& path, const std::string& folder) {
    return folder == "/" || path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == '/');
}

bool exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

using At = FolderHandle::At;

// The call about `path` by name inside `handle`'s folder, or by the whole path without a handle.
At at(FolderHandle* handle, const std::string& path) {
    return handle ? handle->at(path) : At{AT_FDCWD, path.c_str()};
}

// rename() that fails with EEXIST rather than replace what is at `to`.
int renameKeeping(At from, At to) {
    killPoint();
    if (renameat2(from.folder, from.name, to.folder, to.name, RENAME_NOREPLACE) == 0) {
        return 0;
    }
    // Some file systems do not know the flag; the check below then leaves a short window.
    if (errno != EINVAL) {
        return -1;
    }
    struct stat info {};
    if (fstatat(to.folder, to.name, &info, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return -1;
    }
    return renameat(from.folder, from.name, to.folder, to.name);
}

std::string plainReason(int error) {
    switch (error) {
    case EXDEV:
        return "it lies on another file system than the Trash";
    case ENOSPC:
        return "the disk is full";
    case EACCES:
    case EPERM:
        return "permission denied";
    default:
        return std::strerror(error);
    }
}

std::string absolutePath(const std::string& path) {
    std::string bare = withoutTrailingSlashes(path);
    if (!bare.empty() && bare.front() == '/') {
        return bare;
    }
    char* cwd = getcwd(nullptr, 0);
    const std::string folder = cwd ? cwd : "/";
    std::free(cwd);
    return joined(folder, bare);
}

// The path with the folders above the entry resolved; the entry itself is never followed.
std::optional<std::string> realPathOf(const std::string& path) {
    char* folder = realpath(parentFolder(absolutePath(path)).c_str(), nullptr);
    if (!folder) {
        return std::nullopt;
    }
    std::string real = joined(folder, lastPathComponent(path));
    std::free(folder);
    return real;
}

// The mount point of `folder`'s file system: the highest folder above it still on `device`.
std::string mountTop(std::string folder, dev_t device) {
    struct stat up {};
    while (folder != "/" && stat(parentFolder(folder).c_str(), &up) == 0 && up.st_dev == device) {
        folder = parentFolder(folder);
    }
    return folder;
}

bool isSharedTrash(const std::string& folder) {
    struct stat info {};
    return lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX);
}

// Why `folder` cannot serve as a Trash folder, made first when missing and `make` says so; when
// `owner` is given it must also be that user's private folder.
std::optional<std::string> folderProblem(const std::string& folder, bool make,
                                         std::optional<uid_t> owner) {
    const std::string named = "the Trash folder " + folder;
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            return named + " cannot be examined: " + std::strerror(errno);
        }
        if (!make) {
            return access(parentFolder(folder).c_str(), W_OK | X_OK) == 0
                       ? std::nullopt
                       : std::optional(named + " cannot be made");
        }
        if ((mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) ||
            lstat(folder.c_str(), &info) != 0) {
            return named + " cannot be made: " + plainReason(errno);
        }
    }
    if (S_ISLNK(info.st_mode)) {
        return named + " is a symbolic link";
    }
    if (!S_ISDIR(info.st_mode)) {
        return named + " is not a folder";
    }
    // Permission bits only: a folder made inside a setgid folder inherits that bit.
    if (owner && (info.st_uid != *owner || (info.st_mode & 0777) != 0700)) {
        return named + " is not private to this user";
    }
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        return named + " is not writable";
    }
    return std::nullopt;
}

std::optional<std::string> trashProblem(const std::string& root, bool make,
                                        std::optional<uid_t> owner) {
    if (auto problem = folderProblem(root, make, owner)) {
        return problem;
    }
    if (!make && !exists(root)) {
        return std::nullopt;
    }
    for (const char* sub : {"files", "info"}) {
        if (auto problem = folderProblem(joined(root, sub), make, std::nullopt)) {
            return problem;
        }
    }
    return std::nullopt;
}

// The folder a top-dir Trash folder of `uid` serves, judged by its name; none for any other.
std::optional<std::string> topdirOf(const std::string& root, uid_t uid) {
    const std::string id = std::to_string(uid);
    if (lastPathComponent(root) == ".Trash-" + id) {
        return parentFolder(root);
    }
    if (lastPathComponent(root) == id && lastPathComponent(parentFolder(root)) == ".Trash") {
        return parentFolder(parentFolder(root));
    }
    return std::nullopt;
}

// The info file of the item at ROOT/files/NAME: ROOT/info/NAME.trashinfo.
std::string infoFileOf(std::string_view trashed) {
    const auto parent = [](std::string_view path) {
        const std::size_t slash = path.rfind('/');
        return slash == 0 || slash == std::string_view::npos ? std::string_view("/")
                                                             : path.substr(0, slash);
    };
    const std::string_view name = trashed.substr(trashed.rfind('/') + 1);
    const std::string_view root = parent(parent(trashed));
    std::string info;
    info.reserve(root.size() + name.size() + infoSuffix.size() + 6);
    if (root != "/") {
        info = root;
    }
    info += "/info/";
    info += name;
    info += infoSuffix;
    return info;
}

// Now, as a DeletionDate: local time to the second. Made once a second, not once an entry; the
// text stays the caller's until this thread asks again.
const std::string& deletionDate() {
    static thread_local std::time_t made = -1;
    static thread_local std::string text;
    const std::time_t now = std::time(nullptr);
    if (now != made) {
        std::tm local{};
        localtime_r(&now, &local);
        char written[32] = {};
        std::strftime(written, sizeof written, "%Y-%m-%dT%H:%M:%S", &local);
        text = written;
        made = now;
    }
    return text;
}

// The seconds since the epoch a DeletionDate stands for; none when it does not read.
std::optional<std::int64_t> deletionTime(const std::string& date) {
    std::tm local{};
    char rest = 0;
    if (std::sscanf(date.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &local.tm_year, &local.tm_mon,
                    &local.tm_mday, &local.tm_hour, &local.tm_min, &local.tm_sec, &rest) != 6) {
        return std::nullopt;
    }
    local.tm_year -= 1900;
    local.tm_mon -= 1;
    local.tm_isdst = -1;
    const std::time_t time = std::mktime(&local);
    return time == -1 ? std::nullopt : std::optional<std::int64_t>(time);
}

std::int64_t modifiedNanoseconds(const struct stat& info) {
    return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
}

// The name in the Trash at try `attempt`, written into `candidate`: the entry's own, then NAME.2
// to NAME.16, then NAME with a random suffix, cut so that its info file's name fits in `limit`
// bytes; empty when it cannot be.
void candidateName(std::string& candidate, std::string_view name, int attempt, std::size_t limit) {
    static thread_local std::mt19937 generator{std::random_device{}()};
    char suffix[16] = {};
    if (attempt >= numberedTries) {
        std::snprintf(suffix, sizeof suffix, ".%08x", static_cast<unsigned>(generator()));
    } else if (attempt > 0) {
        std::snprintf(suffix, sizeof suffix, ".%d", attempt + 1);
    }
    const std::size_t reserved = std::strlen(suffix) + infoSuffix.size();
    std::size_t keep = std::min(name.size(), limit > reserved ? limit - reserved : 0);
    if (keep < name.size() && isValidUtf8(name)) {
        while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) {
            --keep;
        }
    }
    candidate.clear();
    if (keep > 0) {
        candidate.append(name.substr(0, keep));
        candidate += suffix;
    }
}

int copyContent(int in, int out) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return got < 0 ? errno : 0;
        }
        if (const int error = writeAll(out, {buffer, static_cast<std::size_t>(got)})) {
            return error;
        }
    }
}

std::string_view trimmed(std::string_view text) {
    const std::size_t start = std::min(text.find_first_not_of(" \t"), text.size());
    return text.substr(start, text.find_last_not_of(" \t") + 1 - start);
}

} // namespace

void appendPercentEncodedPath(std::string& text, std::string_view path) {
    static constexpr char hex[] = "0123456789ABCDEF";
    static constexpr auto kept = [] {
        std::array<bool, 256> table{};
        for (int c = 0; c < 256; ++c) {
            table[c] = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.' || c == '~' || c == '/';
        }
        return table;
    }();
    text.reserve(text.size() + path.size());
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (kept[static_cast<unsigned char>(c)]) {
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        text.append(path.substr(start, i - start));
        text += {'%', hex[byte >> 4], hex[byte & 0xF]};
        start = i + 1;
    }
    text.append(path.substr(start));
}

std::string percentEncodedPath(std::string_view path) {
    std::string text;
    appendPercentEncodedPath(text, path);
    return text;
}

std::optional<std::string> trashInfoPath(std::string_view infoFileText) {
    const std::optional<std::string> path = trashInfoValue(infoFileText, "Path");
    return path ? percentDecodedPath(*path) : std::nullopt;
}

std::optional<std::string> trashInfoValue(std::string_view infoFileText, std::string_view key) {
    bool inGroup = false;
    while (!infoFileText.empty()) {
        const std::size_t end = std::min(infoFileText.find('\n'), infoFileText.size());
        std::string_view line = infoFileText.substr(0, end);
        infoFileText.remove_prefix(std::min(end + 1, infoFileText.size()));
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!line.empty() && line.front() == '[') {
            if (inGroup) {
                break;
            }
            inGroup = line == "[Trash Info]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (inGroup && equals != line.npos && trimmed(line.substr(0, equals)) == key) {
            return std::string(trimmed(line.substr(equals + 1)));
        }
    }
    return std::nullopt;
}

std::optional<FreedesktopTrash> FreedesktopTrash::locate() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == '/') {
        return FreedesktopTrash(dataHome);
    }
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        return std::nullopt;
    }
    return FreedesktopTrash(joined(withoutTrailingSlashes(home), ".local/share"));
}

FreedesktopTrash::FreedesktopTrash(const std::string& dataHome, uid_t uid)
    : m_dataHome(withoutTrailingSlashes(dataHome)), m_uid(uid) {}

dev_t FreedesktopTrash::homeDevice() {
    if (!m_homeDevice) {
        std::string folder = m_dataHome;
        struct stat info {};
        while (stat(folder.c_str(), &info) != 0 && folder != "/") {
            folder = parentFolder(folder);
        }
        m_homeDevice = info.st_dev;
    }
    return *m_homeDevice;
}

FreedesktopTrash::DeviceTrash FreedesktopTrash::topDirTrash(const std::string& topdir, dev_t device,
                                                            bool make) const {
    DeviceTrash trash;
    trash.topdir = topdir;
    trash.refusal = "no Trash on the file system of " + topdir + " can take it";
    // A Trash in the root of the system's own file system would be a folder of the system's;
    // desktops do not keep one there.
    if (topdir == "/") {
        trash.refusal = "your Trash is on another file system";
        return trash;
    }
    const std::string shared = joined(topdir, ".Trash");
    for (const std::string& root : {joined(shared, std::to_string(m_uid)),
                                    joined(topdir, ".Trash-" + std::to_string(m_uid))}) {
        struct stat info {};
        if (isUnder(root, shared) && !isSharedTrash(shared)) {
            continue;
        }
        if (const auto problem = trashProblem(root, make, m_uid)) {
            trash.refusal = exists(root) ? *problem : trash.refusal;
        } else if (lstat(root.c_str(), &info) == 0 && info.st_dev != device) {
            trash.refusal = "the Trash folder " + root + " lies on another file system";
        } else {
            trash.root = root;
            trash.refusal.clear();
            trash.ready = make;
            break;
        }
    }
    return trash;
}

Result<const FreedesktopTrash::DeviceTrash*> FreedesktopTrash::trashFor(const std::string& path,
                                                                        dev_t device, bool make) {
    const bool home = device == homeDevice();
    std::string folder;
    if (!home) {
        const std::optional<std::string> real = realPathOf(path);
        struct stat info {};
        if (!real || stat(parentFolder(*real).c_str(), &info) != 0) {
            return Error{plainReason(errno), errno};
        }
        if (info.st_dev != device) {
            return Error{"it is the top of a mounted file system", EXDEV};
        }
        folder = parentFolder(*real);
    }
    const auto cached = m_trashes.find(device);
    if (cached != m_trashes.end() && (home || isUnder(folder, cached->second.topdir)) &&
        (cached->second.ready || !cached->second.refusal.empty() || !make)) {
        if (!cached->second.refusal.empty()) {
            return Error{cached->second.refusal, 0};
        }
        return &cached->second;
    }
    DeviceTrash trash;
    if (home) {
        trash.root = joined(m_dataHome, "Trash");
        trash.ready = true;
        if (!makeFolders(m_dataHome, 0700)) {
            trash.refusal = "the data folder " + m_dataHome + " cannot be made";
        } else if (const auto problem = trashProblem(trash.root, true, std::nullopt)) {
            trash.refusal = *problem;
        }
    } else {
        trash = topDirTrash(mountTop(folder, device), device, make);
    }
    DeviceTrash& kept = m_trashes[device] = std::move(trash);
    if (!kept.root.empty()) {
        kept.files = joined(kept.root, "files/");
        kept.info = joined(kept.root, "info/");
    }
    if (!kept.refusal.empty()) {
        return Error{kept.refusal, 0};
    }
    return &kept;
}

std::optional<std::string> FreedesktopTrash::unavailableReason(const std::string& path) {
    // The entry's file system is its folder's: thousands of entries of one folder cost one stat.
    // An entry that is itself a mount point is refused by the move, which says so.
    const std::optional<FolderAndName> plain = folderAndName(path);
    const std::string other = plain ? std::string() : parentFolder(absolutePath(path));
    const std::string_view folder = plain ? plain->folder : std::string_view(other);
    auto known = m_folderDevices.find(folder);
    if (known == m_folderDevices.end()) {
        std::string owned(folder);
        struct stat info {};
        if (stat(owned.c_str(), &info) != 0) {
            return plainReason(errno);
        }
        known = m_folderDevices.emplace(std::move(owned), info.st_dev).first;
    }
    const Result<const DeviceTrash*> trash = trashFor(path, known->second, false);
    return trash ? std::nullopt : std::optional(trash.error().reason);
}

Result<TrashSlot> FreedesktopTrash::reserve(const std::string& path) {
    // The last component, as lastPathComponent() gives it.
    std::string_view trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') {
        trimmed.remove_suffix(1);
    }
    const std::size_t slash = lastSlash(trimmed);
    const std::string_view name =
        slash == std::string_view::npos || trimmed == "/" ? trimmed : trimmed.substr(slash + 1);
    struct stat entry {};
    if (name.empty() || name == "/" || name == "." || name == "..") {
        return Error{"it cannot be moved to the Trash", EINVAL};
    }
    const bool bare = path.back() != '/';
    const std::string whole = bare ? std::string() : withoutTrailingSlashes(path);
    const At place = at(&m_entryFolder, bare ? path : whole);
    if (fstatat(place.folder, place.name, &entry, AT_SYMLINK_NOFOLLOW) != 0) {
        return Error{plainReason(errno), errno};
    }
    const Result<const DeviceTrash*> found = trashFor(path, entry.st_dev, true);
    if (!found) {
        return found.error();
    }
    const DeviceTrash& trash = **found;
    // Most entries are named by a plain absolute path already, which is what the note records.
    std::string owned;
    std::string_view recorded = path;
    if (!bare || path.front() != '/') {
        owned = absolutePath(path);
        recorded = owned;
    }
    if (!trash.topdir.empty()) {
        const std::optional<std::string> real = realPathOf(path);
        if (!real || !isUnder(*real, trash.topdir) || *real == trash.topdir) {
            return Error{plainReason(EXDEV), EXDEV};
        }
        owned = real->substr(trash.topdir == "/" ? 1 : trash.topdir.size() + 1);
        recorded = owned;
    }
    const std::string& deleted = deletionDate();
    std::string& text = m_noteBuffer;
    text.clear();
    text.reserve(recorded.size() + 64);
    text += "[Trash Info]\nPath=";
    appendPercentEncodedPath(text, recorded);
    text += "\nDeletionDate=";
    text += deleted;
    text += '\n';
    std::size_t limit = nameMax;
    for (int attempt = 0; attempt < allTries; ++attempt) {
        std::string& candidate = m_candidateBuffer;
        candidateName(candidate, name, attempt, limit);
        if (candidate.empty()) {
            return Error{"its name is too long for the Trash", ENAMETOOLONG};
        }
        std::string trashed = trash.files;
        trashed += candidate;
        // An item with no info file of its own holds a name too; the move refuses to replace it
        // and the name is not offered again.
        if (m_heldNames.contains(trashed)) {
            continue;
        }
        std::string& info = m_infoBuffer;
        info.assign(trash.info);
        info += candidate;
        info += infoSuffix;
        const At note = at(&trash.open.info, info);
        killPoint();
        const int fd =
            openat(note.folder, note.name, O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd < 0 && errno == ENAMETOOLONG) {
            // This file system allows shorter names than most.
            limit = (candidate.size() + infoSuffix.size()) * 3 / 4;
            continue;
        }
        if (fd < 0 && errno == EEXIST) {
            continue;
        }
        if (fd < 0) {
            const int error = errno;
            m_trashes.erase(entry.st_dev);
            return Error{plainReason(error), error};
        }
        killPoint();
        int error = writeAll(fd, text);
        if (close(fd) != 0 && error == 0) {
            error = errno;
        }
        if (error != 0) {
            unlinkat(note.folder, note.name, 0);
            return Error{plainReason(error), error};
        }
        return TrashSlot{path,
                         std::move(trashed),
                         {entry.st_dev, entry.st_ino, static_cast<std::uint64_t>(entry.st_size),
                          modifiedNanoseconds(entry), deleted},
                         S_ISDIR(entry.st_mode)};
    }
    return Error{"no free name for it in the Trash", EEXIST};
}

int FreedesktopTrash::moveKeeping(const std::string& original, const std::string& trashed,
                                  const DeviceTrash* trash) {
    return renameKeeping(at(&m_entryFolder, original),
                         at(trash ? &trash->open.files : nullptr, trashed));
}

Result<std::string> FreedesktopTrash::moveInto(const TrashSlot& slot) {
    const DeviceTrash* trash = nullptr;
    for (const auto& [device, known] : m_trashes) {
        if (!known.files.empty() && slot.trashed.starts_with(known.files) &&
            slot.trashed.find('/', known.files.size()) == std::string::npos) {
            trash = &known;
        }
    }
    if (moveKeeping(slot.original, slot.trashed, trash) == 0) {
        return slot.trashed;
    }
    const int error = errno;
    if (error == ENOENT) {
        // The Trash folders, or the entry's, may have gone; the next entry checks them afresh.
        m_trashes.clear();
        m_entryFolder.close();
    }
    if (error == EEXIST) {
        m_heldNames.insert(slot.trashed);
    }
    if (infoNames(slot.trashed, slot.original)) {
        killPoint();
        unlink(infoFileOf(slot.trashed).c_str());
    }
    return Error{plainReason(error), error};
}

void FreedesktopTrash::release(const TrashSlot& slot) {
    if (!exists(slot.trashed) && infoNames(slot.trashed, slot.original)) {
        killPoint();
        unlink(infoFileOf(slot.trashed).c_str());
    }
}

Status FreedesktopTrash::copyBack(const TrashSlot& slot) {
    const int in = open(slot.trashed.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat source {};
    if (in < 0 || fstat(in, &source) != 0 || !S_ISREG(source.st_mode)) {
        const int error = in < 0 ? errno : EINVAL;
        if (in >= 0) {
            close(in);
        }
        return Error{error == EINVAL ? "it is not a regular file" : plainReason(error), error};
    }
    killPoint();
    const int out = open(slot.original.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    int error = out < 0 ? errno : copyContent(in, out);
    const timespec times[2] = {{0, UTIME_OMIT}, source.st_mtim};
    if (error == 0 && (fchmod(out, source.st_mode & 07777) != 0 || futimens(out, times) != 0)) {
        error = errno;
    }
    if (out >= 0 && close(out) != 0 && error == 0) {
        error = errno;
    }
    close(in);
    if (error != 0 && out >= 0) {
        unlink(slot.original.c_str());
    }
    if (error != 0) {
        return Error{error == EEXIST ? "something else is at its place" : plainReason(error),
                     error};
    }
    return Done{};
}

bool FreedesktopTrash::isTrashFilesFolder(const std::string& folder) const {
    if (m_checkedFilesFolders.contains(folder)) {
        return true;
    }
    const std::string root = parentFolder(folder);
    if (lastPathComponent(folder) != "files" || !exists(root)) {
        return false;
    }
    bool trusted = false;
    if (root == joined(m_dataHome, "Trash")) {
        trusted = !trashProblem(root, false, std::nullopt);
    } else {
        const std::optional<std::string> topdir = topdirOf(root, m_uid);
        struct stat top {};
        trusted = topdir && (parentFolder(root) == *topdir || isSharedTrash(parentFolder(root))) &&
                  !trashProblem(root, false, m_uid) && stat(topdir->c_str(), &top) == 0 &&
                  mountTop(*topdir, top.st_dev) == *topdir;
    }
    if (trusted) {
        m_checkedFilesFolders.try_emplace(folder);
    }
    return trusted;
}

FreedesktopTrash::OpenTrashFolders*
FreedesktopTrash::openFoldersOf(const std::string& folder) const {
    const auto checked = m_checkedFilesFolders.find(folder);
    return checked == m_checkedFilesFolders.end() ? nullptr : &checked->second;
}

std::optional<FreedesktopTrash::InfoNote> FreedesktopTrash::readInfo(const std::string& trashed,
                                                                     bool* missing) const {
    const std::string file = infoFileOf(trashed);
    OpenTrashFolders* open = openFoldersOf(parentFolder(trashed));
    const At note = at(open ? &open->info : nullptr, file);
    const std::optional<std::string> text =
        readRegularFileAt(note.folder, note.name, std::size_t{64} * 1024);
    if (missing) {
        *missing = !text && errno == ENOENT;
    }
    std::optional<std::string> recorded = text ? trashInfoPath(*text) : std::nullopt;
    if (recorded && !recorded->empty() && recorded->front() != '/') {
        const std::optional<std::string> topdir =
            topdirOf(parentFolder(parentFolder(trashed)), m_uid);
        recorded = topdir ? std::optional(joined(*topdir, *recorded)) : std::nullopt;
    }
    if (!recorded || recorded->empty()) {
        return std::nullopt;
    }
    return InfoNote{*recorded, trashInfoValue(*text, "DeletionDate").value_or("")};
}

bool FreedesktopTrash::namesOriginal(const InfoNote& note, const std::string& original) {
    return note.path == absolutePath(original) || note.path == realPathOf(original);
}

bool FreedesktopTrash::infoNames(const std::string& trashed, const std::string& original) const {
    const std::optional<InfoNote> note = readInfo(trashed);
    return note && namesOriginal(*note, original);
}

TrashedItemState FreedesktopTrash::examine(const std::string& trashedPath,
                                           const std::string& originalPath,
                                           const EntryIdentity& identity) {
    const std::string name = lastPathComponent(trashedPath);
    const std::string folder = parentFolder(trashedPath);
    if (originalPath.empty() || originalPath.front() != '/' ||
        name != trashedPath.substr(trashedPath.rfind('/') + 1) || name == "." || name == ".." ||
        !isTrashFilesFolder(folder)) {
        return TrashedItemState::Refused;
    }
    struct stat item {};
    const At itemAt = at(&openFoldersOf(folder)->files, trashedPath);
    if (fstatat(itemAt.folder, itemAt.name, &item, AT_SYMLINK_NOFOLLOW) != 0) {
        return TrashedItemState::Missing;
    }
    // The item is the one a reset moved when everything a remount keeps and a stranger cannot
    // forge together agrees: the inode, the name in the Trash (this place), the info file's
    // Path, the DeletionDate string written for it byte for byte (a later deletion of the same
    // file, or the same time in another zone, differs), and the size and modification time
    // taken after the move. The device number is left out: a remount may number the file system
    // anew. An info file that is missing is no objection when all the rest agrees; one that
    // names another place or time is. A record from before sizes and dates were kept has only
    // the device and the inode, and the Path, to go by.
    if (item.st_ino != identity.inode) {
        return TrashedItemState::NotOurs;
    }
    const bool whole =
        identity.size && identity.modifiedNanoseconds && !identity.deletionDate.empty();
    if (!whole) {
        return item.st_dev == identity.device && infoNames(trashedPath, originalPath)
                   ? TrashedItemState::Ours
                   : TrashedItemState::NotOurs;
    }
    if (static_cast<std::uint64_t>(item.st_size) != *identity.size ||
        modifiedNanoseconds(item) != *identity.modifiedNanoseconds) {
        return TrashedItemState::NotOurs;
    }
    bool missing = false;
    const std::optional<InfoNote> note = readInfo(trashedPath, &missing);
    if (!note) {
        return missing ? TrashedItemState::Ours : TrashedItemState::NotOurs;
    }
    return namesOriginal(*note, originalPath) && note->deletionDate == identity.deletionDate
               ? TrashedItemState::Ours
               : TrashedItemState::NotOurs;
}

PutBackOutcome FreedesktopTrash::putBack(const std::string& trashedPath,
                                         const std::string& originalPath,
                                         const EntryIdentity& identity, PutBackMode mode) {
    switch (examine(trashedPath, originalPath, identity)) {
    case TrashedItemState::Refused:
        return PutBackOutcome::Refused;
    case TrashedItemState::Missing:
        return PutBackOutcome::Gone;
    case TrashedItemState::NotOurs:
        return PutBackOutcome::NotOurs;
    case TrashedItemState::Ours:
        break;
    }
    OpenTrashFolders& open = *openFoldersOf(parentFolder(trashedPath));
    const auto moveBack = [&] {
        const At from = at(&open.files, trashedPath);
        const At to = at(&m_entryFolder, originalPath);
        if (mode == PutBackMode::ReplaceWhatIsThere) {
            killPoint();
            return renameat(from.folder, from.name, to.folder, to.name);
        }
        return renameKeeping(from, to);
    };
    // The folders on the way are made only when missing, which is rare.
    int moved = moveBack();
    if (moved != 0 && errno == ENOENT) {
        m_entryFolder.close();
        if (!makeFolders(parentFolder(originalPath), 0777)) {
            return PutBackOutcome::Failed;
        }
        moved = moveBack();
    }
    if (moved != 0) {
        return errno == EEXIST || errno == ENOTEMPTY ? PutBackOutcome::Occupied
                                                     : PutBackOutcome::Failed;
    }
    killPoint();
    m_infoRemovals->remove(infoFileOf(trashedPath));
    return PutBackOutcome::Restored;
}

void FreedesktopTrash::settle() {
    m_infoRemovals->wait();
}

std::map<std::string, std::string>
FreedesktopTrash::trashRootsFor(const std::vector<std::string>& originals) {
    std::map<std::string, std::string> roots; // root -> topdir
    roots.emplace(joined(m_dataHome, "Trash"), std::string());
    std::set<dev_t> seen;
    for (const std::string& original : originals) {
        std::string folder = parentFolder(original);
        struct stat info {};
        while (lstat(folder.c_str(), &info) != 0 && folder != "/") {
            folder = parentFolder(folder);
        }
        if (!seen.insert(info.st_dev).second || info.st_dev == homeDevice()) {
            continue;
        }
        if (const Result<const DeviceTrash*> trash =
                trashFor(joined(folder, "."), info.st_dev, false);
            trash && !(*trash)->root.empty()) {
            roots.emplace((*trash)->root, (*trash)->topdir);
        }
    }
    return roots;
}

void FreedesktopTrash::forEachInfoFile(
    const std::vector<std::string>& originals,
    const std::function<void(const std::string& root, const std::string& stem, bool present)>&
        visit) {
    for (const auto& [root, topdir] : trashRootsFor(originals)) {
        const std::string infoFolder = joined(root, "info");
        std::vector<std::string> stems;
        forEachEntry(infoFolder, [&stems](const FolderEntry& entry) {
            if (entry.name.size() > infoSuffix.size() && entry.name.ends_with(infoSuffix)) {
                stems.emplace_back(entry.name.substr(0, entry.name.size() - infoSuffix.size()));
            }
            return true;
        });
        // One listing of files/ tells which items are there, where a stat each would not do.
        std::unordered_set<std::string> items;
        forEachEntry(joined(root, "files"), [&items](const FolderEntry& entry) {
            items.emplace(entry.name);
            return true;
        });
        for (const std::string& stem : stems) {
            visit(root, stem, items.contains(stem));
        }
    }
}

namespace {

// True when a name in the Trash may be one given to an entry of that name: the name itself, or
// it with the suffix a taken name gets.
bool mayBeTrashNameOf(const std::string& stem, const std::set<std::string>& names) {
    if (names.contains(stem)) {
        return true;
    }
    const std::size_t dot = stem.rfind('.');
    return dot != std::string::npos && names.contains(stem.substr(0, dot));
}

bool within(const std::string& date, const TimeSpan& span) {
    const std::optional<std::int64_t> time = deletionTime(date);
    return time && *time >= span.from && *time <= span.to;
}

} // namespace

bool FreedesktopTrash::hasNotesWithoutItems(const std::vector<std::string>& places) {
    bool found = false;
    forEachInfoFile(places, [&found](const std::string&, const std::string&, bool present) {
        found = found || !present;
    });
    return found;
}

void FreedesktopTrash::forgetOrphans(const std::map<std::string, TimeSpan>& originals) {
    std::set<std::string> names;
    std::vector<std::string> places;
    for (const auto& [original, span] : originals) {
        names.insert(lastPathComponent(original));
        places.push_back(original);
    }
    std::vector<std::string> orphans;
    forEachInfoFile(places, [&](const std::string& root, const std::string& stem, bool present) {
        // Most notes in a Trash are of other items: their names settle that before any is read.
        if (present || !mayBeTrashNameOf(stem, names)) {
            return;
        }
        const std::string item = joined(root, "files/" + stem);
        const std::string info = infoFileOf(item);
        const std::optional<InfoNote> note = readInfo(item);
        // A note cut short before its Path was written (the writer was killed) can only be told
        // by its name.
        if (!note) {
            if (names.contains(stem)) {
                orphans.push_back(info);
            }
            return;
        }
        const auto wanted = originals.find(note->path);
        if (wanted != originals.end() &&
            (note->deletionDate.empty() || within(note->deletionDate, wanted->second))) {
            orphans.push_back(info);
        }
    });
    for (const std::string& info : orphans) {
        killPoint();
        unlink(info.c_str());
    }
}

std::vector<TrashSlot> FreedesktopTrash::findTrashedFrom(const std::vector<std::string>& originals,
                                                         const TimeSpan& span) {
    std::set<std::string> names;
    std::set<std::string> wanted;
    for (const std::string& original : originals) {
        names.insert(lastPathComponent(original));
        wanted.insert(absolutePath(original));
    }
    std::map<std::string, std::pair<std::int64_t, TrashSlot>> found; // original -> earliest
    forEachInfoFile(originals, [&](const std::string& root, const std::string& stem, bool present) {
        if (!present || !mayBeTrashNameOf(stem, names)) {
            return;
        }
        const std::string item = joined(root, "files/" + stem);
        struct stat info {};
        if (lstat(item.c_str(), &info) != 0) {
            return;
        }
        const std::optional<InfoNote> note = readInfo(item);
        const std::optional<std::int64_t> time =
            note ? deletionTime(note->deletionDate) : std::nullopt;
        if (!note || !wanted.contains(note->path) || !time || *time < span.from ||
            *time > span.to) {
            return;
        }
        const auto known = found.find(note->path);
        if (known == found.end() || known->second.first > *time) {
            found[note->path] = {*time, TrashSlot{note->path,
                                                  item,
                                                  {info.st_dev, info.st_ino,
                                                   static_cast<std::uint64_t>(info.st_size),
                                                   modifiedNanoseconds(info), note->deletionDate}}};
        }
    });
    std::vector<TrashSlot> slots;
    slots.reserve(found.size());
    for (auto& [original, earliest] : found) {
        slots.push_back(std::move(earliest.second));
    }
    return slots;
}

} // namespace corvane
