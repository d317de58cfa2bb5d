#include "host/linux/XdgDesktopApplications.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <gio/gio.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

// No desktop file comes near this; a larger one is no desktop file.
constexpr std::size_t kMaxDesktopFileSize = std::size_t{1} << 20;
// Vendors nest a folder or two; this bounds a walk through a hostile tree.
constexpr int kMaxDepth = 8;

bool endsWithDesktop(std::string_view name) {
    constexpr std::string_view suffix = ".desktop";
    return name.size() > suffix.size() && name.substr(name.size() - suffix.size()) == suffix;
}

std::optional<std::string> smallFileText(int dirFd, const char* name) {
    const int fd = openat(dirFd, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    std::optional<std::string> text;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<std::size_t>(info.st_size) <= kMaxDesktopFileSize) {
        std::string content(static_cast<std::size_t>(info.st_size), '\0');
        std::size_t done = 0;
        while (done < content.size()) {
            const ssize_t n = read(fd, content.data() + done, content.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        content.resize(done);
        text = std::move(content);
    }
    close(fd);
    return text;
}

void readFolder(int dirFd, const std::string& root, const std::string& relative, std::size_t index,
                int depth, const DesktopFileWanted& wanted, std::vector<DesktopFileText>& files) {
    DIR* dir = fdopendir(dirFd);
    if (dir == nullptr) {
        close(dirFd);
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        const std::string path =
            relative.empty() ? std::string(name) : relative + "/" + entry->d_name;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            isFolder = fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                       S_ISDIR(info.st_mode);
        }
        if (isFolder) {
            // Symlinked folders are not followed: they could lead round in a circle.
            if (depth < kMaxDepth) {
                const int sub = openat(dirfd(dir), entry->d_name,
                                       O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (sub >= 0) {
                    readFolder(sub, root, path, index, depth + 1, wanted, files);
                }
            }
            continue;
        }
        if (!endsWithDesktop(name)) {
            continue;
        }
        std::string fullPath = root;
        fullPath.append("/").append(path);
        if (wanted && !wanted(path)) {
            files.push_back({index, path, std::move(fullPath), {}, false});
        } else if (std::optional<std::string> text = smallFileText(dirfd(dir), entry->d_name)) {
            files.push_back({index, path, std::move(fullPath), std::move(*text)});
        }
    }
    closedir(dir);
}

void addSchemas(GSettingsSchemaSource* source, std::vector<InstalledSchema>& schemas) {
    gchar** fixed = nullptr;
    gchar** relocatable = nullptr;
    g_settings_schema_source_list_schemas(source, TRUE, &fixed, &relocatable);
    for (gchar** id = fixed; id != nullptr && *id != nullptr; ++id) {
        GSettingsSchema* schema = g_settings_schema_source_lookup(source, *id, TRUE);
        if (schema == nullptr) {
            continue;
        }
        if (const gchar* path = g_settings_schema_get_path(schema)) {
            schemas.push_back({*id, path});
        }
        g_settings_schema_unref(schema);
    }
    g_strfreev(fixed);
    g_strfreev(relocatable);
}

} // namespace

std::vector<DesktopFileText>
XdgDesktopApplications::desktopFiles(const std::vector<std::string>& applicationDirectories,
                                     const DesktopFileWanted& wanted) const {
    std::vector<DesktopFileText> files;
    for (std::size_t i = 0; i < applicationDirectories.size(); ++i) {
        const int fd = open(applicationDirectories[i].c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            readFolder(fd, applicationDirectories[i], {}, i, 0, wanted, files);
        }
    }
    return files;
}

Result<std::vector<InstalledSchema>> XdgDesktopApplications::installedSchemas() const {
    std::vector<InstalledSchema> schemas;
    if (!m_schemaDirectories) {
        if (GSettingsSchemaSource* source = g_settings_schema_source_get_default()) {
            addSchemas(source, schemas);
        }
        return schemas;
    }
    // The least important folder is the root of the chain; each more important one is its child.
    GSettingsSchemaSource* source = nullptr;
    for (auto dir = m_schemaDirectories->rbegin(); dir != m_schemaDirectories->rend(); ++dir) {
        if (access((*dir + "/gschemas.compiled").c_str(), F_OK) != 0) {
            continue;
        }
        GError* error = nullptr;
        GSettingsSchemaSource* child =
            g_settings_schema_source_new_from_directory(dir->c_str(), source, TRUE, &error);
        if (child == nullptr) {
            std::string reason = "the compiled schemas in " + *dir + " cannot be read: " +
                                 (error != nullptr ? error->message : "unknown error");
            g_clear_error(&error);
            if (source != nullptr) {
                g_settings_schema_source_unref(source);
            }
            return Error{std::move(reason)};
        }
        if (source != nullptr) {
            g_settings_schema_source_unref(source);
        }
        source = child;
    }
    if (source != nullptr) {
        addSchemas(source, schemas);
        g_settings_schema_source_unref(source);
    }
    return schemas;
}

} // namespace corvane
