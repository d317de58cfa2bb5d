#include "core/linuxapps/InstalledApplications.h"

#include "core/analysis/BundleIdentifierPolicy.h"
#include "core/linuxapps/DesktopEntry.h"
#include "ports/FileSystem.h"

#include <algorithm>
#include <set>
#include <utility>

namespace corvane {

namespace {

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// Byte order with ASCII letters folded, so that "gedit" sorts beside "Geary".
bool lessIgnoringCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return fold(x) < fold(y);
    });
}

} // namespace

std::vector<std::string> applicationDirectories(const std::string& home,
                                                const std::optional<std::string>& dataHome,
                                                const std::optional<std::string>& dataDirs) {
    std::vector<std::string> roots;
    roots.push_back(dataHome && !dataHome->empty() && dataHome->front() == '/'
                        ? *dataHome
                        : home + "/.local/share");
    const std::string dirs =
        dataDirs && !dataDirs->empty() ? *dataDirs : "/usr/local/share:/usr/share";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string dir = dirs.substr(start, end - start);
        if (!dir.empty() && dir.front() == '/') {
            roots.push_back(dir);
        }
        start = end + 1;
    }
    roots.push_back(home + "/.local/share/flatpak/exports/share");
    roots.push_back("/var/lib/flatpak/exports/share");

    std::vector<std::string> directories;
    std::set<std::string> seen;
    for (const std::string& root : roots) {
        std::string directory = withoutTrailingSlashes(root) + "/applications";
        if (seen.insert(directory).second) {
            directories.push_back(std::move(directory));
        }
    }
    return directories;
}

std::vector<DesktopFileText> findDesktopFiles(const FileSystem& fs,
                                              const DesktopApplications& desktop,
                                              const std::string& home,
                                              const DesktopFileWanted& wanted) {
    return desktop.desktopFiles(applicationDirectories(home, fs.environmentValue("XDG_DATA_HOME"),
                                                       fs.environmentValue("XDG_DATA_DIRS")),
                                wanted);
}

ApplicationList findInstalledApplications(const FileSystem& fs, const DesktopApplications& desktop,
                                          const std::string& home) {
    return installedApplications(findDesktopFiles(fs, desktop, home));
}

bool canDescribe(std::string_view relativePath, const std::string& id) {
    const std::optional<std::string> fileId = desktopFileId(relativePath);
    return fileId && fileId->starts_with(id) &&
           (fileId->size() == id.size() || (*fileId)[id.size()] == '.');
}

std::vector<std::string> installedApplicationIds(const std::vector<DesktopFileText>& files) {
    std::vector<std::string> ids;
    for (const InstalledApplication& app : installedApplications(files).applications) {
        ids.push_back(app.id);
    }
    for (const DesktopFileText& file : files) {
        if (file.read) {
            continue;
        }
        std::optional<std::string> fileId = desktopFileId(file.relativePath);
        if (fileId && applicationIdFit(*fileId) != ApplicationIdFit::Rejected) {
            ids.push_back(std::move(*fileId));
        }
    }
    return ids;
}

ApplicationIdFit applicationIdFit(const std::string& id) {
    if (isAcceptableBundleIdentifier(id)) {
        return ApplicationIdFit::Own;
    }
    // The policy wants two parts; a one-word id is checked as the first part of such a name.
    if (id.find('.') == std::string::npos && !id.empty() &&
        isAcceptableBundleIdentifier(id + ".id")) {
        return ApplicationIdFit::TooGeneric;
    }
    return ApplicationIdFit::Rejected;
}

ApplicationList installedApplications(const std::vector<DesktopFileText>& files) {
    std::vector<const DesktopFileText*> ordered;
    ordered.reserve(files.size());
    for (const DesktopFileText& file : files) {
        if (file.read) {
            ordered.push_back(&file);
        }
    }
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto* a, const auto* b) {
        return a->directoryIndex < b->directoryIndex;
    });

    ApplicationList list;
    std::set<std::pair<std::string, bool>> claimed; // desktop file id, Flatpak export
    for (const DesktopFileText* file : ordered) {
        const std::optional<std::string> fileId = desktopFileId(file->relativePath);
        if (!fileId) {
            continue;
        }
        if (claimed.count({*fileId, false}) != 0 && claimed.count({*fileId, true}) != 0) {
            continue;
        }
        Result<DesktopEntry> entry = parseDesktopEntry(file->text);
        if (!entry) {
            list.rejected.push_back({file->path, entry.error().reason});
            continue;
        }
        if (entry->hidden) {
            claimed.insert({*fileId, false});
            claimed.insert({*fileId, true});
            continue;
        }
        const bool flatpak = entry->flatpakId.has_value();
        if (!claimed.insert({*fileId, flatpak}).second) {
            continue;
        }
        InstalledApplication app;
        app.id = flatpak ? *entry->flatpakId : *fileId;
        const ApplicationIdFit fit = applicationIdFit(app.id);
        if (fit == ApplicationIdFit::Rejected) {
            list.rejected.push_back(
                {file->path, "\"" + app.id +
                                 "\" is no application id: it takes letters, digits, '.', '-' "
                                 "and '_', parts separated by single dots, and no reserved name"});
            continue;
        }
        app.tooGeneric = fit == ApplicationIdFit::TooGeneric;
        app.desktopFileId = *fileId;
        app.name = std::move(entry->name);
        app.icon = std::move(entry->icon);
        app.execProgram = std::move(entry->execProgram);
        app.flatpak = flatpak;
        app.noDisplay = entry->noDisplay;
        app.desktopFilePath = file->path;
        list.applications.push_back(std::move(app));
    }

    std::set<std::string> hostIds;
    for (const InstalledApplication& app : list.applications) {
        if (!app.flatpak) {
            hostIds.insert(app.id);
        }
    }
    for (InstalledApplication& app : list.applications) {
        if (app.flatpak && hostIds.count(app.id) != 0) {
            app.name += " (Flatpak)";
        }
    }
    std::sort(list.applications.begin(), list.applications.end(),
              [](const InstalledApplication& a, const InstalledApplication& b) {
                  if (lessIgnoringCase(a.name, b.name) || lessIgnoringCase(b.name, a.name)) {
                      return lessIgnoringCase(a.name, b.name);
                  }
                  return a.id != b.id ? a.id < b.id : a.flatpak < b.flatpak;
              });
    return list;
}

} // namespace corvane
