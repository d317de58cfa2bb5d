#include "core/analysis/LinuxFolders.h"

#include "base/Paths.h"
#include "core/linuxapps/InstalledApplications.h"
#include "ports/FileSystem.h"

#include <vector>

namespace corvane {

namespace {

// Follows `steps` down from `base`, whose links resolve to `resolvedBase`; each must exist and
// resolve to its own place beneath it. Then lists the last one and what lies in it.
void walkOwnFolder(const FileSystem& fs, const std::string& home, const std::string& base,
                   const std::string& resolvedBase, const std::vector<std::string>& steps,
                   const Tick& tick, FolderSearch& search) {
    std::string path = base;
    std::string resolved = resolvedBase;
    for (const std::string& step : steps) {
        path = appendPathComponent(path, step);
        resolved = appendPathComponent(resolved, step);
        if (!fs.entryExists(path)) {
            return;
        }
        if (fs.resolvedPath(path) != resolved) {
            search.skipped.push_back({pathRelativeTo(path, home), SkippedFolder::Reason::Link});
            return;
        }
    }
    search.entries.append(pathRelativeTo(path, home), path);
    fs.walk(path, [&](const std::string& entry) {
        if (tick) {
            tick();
        }
        const std::string full = appendPathComponent(path, entry);
        search.entries.append(pathRelativeTo(full, home), full);
        return true;
    });
}

bool namesOwnFolders(std::string_view identifier) {
    return applicationIdFit(std::string(identifier)) == ApplicationIdFit::Own;
}

// A folder named by a one-word id (vlc) may be anyone's: it is named, not searched.
void noteGenericFolder(const FileSystem& fs, const std::string& home, const std::string& folder,
                       std::string_view identifier, FolderSearch& search) {
    if (applicationIdFit(std::string(identifier)) == ApplicationIdFit::TooGeneric &&
        fs.entryExists(folder)) {
        search.skipped.push_back(
            {pathRelativeTo(folder, home), SkippedFolder::Reason::GenericName});
    }
}

} // namespace

FolderSearch searchFlatpakFolder(const FileSystem& fs, const std::string& home,
                                 std::string_view identifier, const std::string& name,
                                 const Tick& tick) {
    FolderSearch search;
    const std::optional<std::string> resolvedHome = fs.resolvedPath(home);
    if (!resolvedHome || !namesOwnFolders(identifier)) {
        noteGenericFolder(fs, home, home + "/.var/app/" + std::string(identifier), identifier,
                          search);
        return search;
    }
    std::vector<std::string> steps = {".var", "app", std::string(identifier)};
    for (std::size_t start = 0; start <= name.size();) {
        const std::size_t slash = std::min(name.find('/', start), name.size());
        steps.push_back(name.substr(start, slash - start));
        start = slash + 1;
    }
    walkOwnFolder(fs, home, home, *resolvedHome, steps, tick, search);
    return search;
}

FolderSearch searchBaseFolder(const FileSystem& fs, const std::string& home, BaseFolder base,
                              std::string_view identifier, const Tick& tick) {
    FolderSearch search;
    const std::string folder = baseFolder(fs, home, base);
    if (!namesOwnFolders(identifier)) {
        noteGenericFolder(fs, home, appendPathComponent(folder, std::string(identifier)),
                          identifier, search);
        return search;
    }
    if (!fs.entryExists(folder)) {
        return search;
    }
    const std::optional<std::string> resolved = confinedFolder(fs, home, folder);
    if (!resolved) {
        search.skipped.push_back(
            {pathRelativeTo(folder, home), SkippedFolder::Reason::LeadsOutsideHome});
        return search;
    }
    walkOwnFolder(fs, home, folder, *resolved, {std::string(identifier)}, tick, search);
    return search;
}

} // namespace corvane
