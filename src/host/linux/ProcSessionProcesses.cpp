#include "host/linux/ProcSessionProcesses.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

// Control-group files, info and metadata files are a few kilobytes.
constexpr std::size_t kMaxTextSize = std::size_t{256} * 1024;

std::optional<std::string> textOf(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    while (text.size() < kMaxTextSize) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return text;
}

std::optional<pid_t> pidOf(const char* name) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(name, &end, 10);
    if (errno != 0 || end == name || *end != '\0' || value <= 0) {
        return std::nullopt;
    }
    return static_cast<pid_t>(value);
}

std::string environmentOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? value : fallback;
}

} // namespace

ProcSessionProcesses::ProcSessionProcesses()
    : m_procRoot("/proc"),
      m_runtimeDir(environmentOr("XDG_RUNTIME_DIR", "/run/user/" + std::to_string(getuid()))) {
    const std::string home = environmentOr("HOME", "");
    const std::string dataHome = environmentOr("XDG_DATA_HOME", home + "/.local/share");
    m_flatpakInstallations = {dataHome + "/flatpak", "/var/lib/flatpak"};
}

ProcSessionProcesses::ProcSessionProcesses(std::string procRoot, std::string runtimeDir,
                                           std::vector<std::string> flatpakInstallations)
    : m_procRoot(std::move(procRoot)), m_runtimeDir(std::move(runtimeDir)),
      m_flatpakInstallations(std::move(flatpakInstallations)) {}

Result<std::vector<ProcessCgroup>> ProcSessionProcesses::userProcessCgroups() const {
    DIR* dir = opendir(m_procRoot.c_str());
    if (dir == nullptr) {
        const int error = errno;
        return Error{"the process table " + m_procRoot + " cannot be read: " + std::strerror(error),
                     error};
    }
    std::vector<ProcessCgroup> processes;
    const uid_t me = getuid();
    while (const dirent* entry = readdir(dir)) {
        const std::optional<pid_t> pid = pidOf(entry->d_name);
        struct stat info {};
        if (!pid || fstatat(dirfd(dir), entry->d_name, &info, 0) != 0 || info.st_uid != me) {
            continue;
        }
        // A process that ended meanwhile has no file any more.
        if (std::optional<std::string> text =
                textOf(m_procRoot + "/" + entry->d_name + "/cgroup")) {
            processes.push_back({*pid, std::move(*text)});
        }
    }
    closedir(dir);
    return processes;
}

std::vector<FlatpakInstance> ProcSessionProcesses::flatpakInstances() const {
    std::vector<FlatpakInstance> instances;
    const std::string root = m_runtimeDir + "/.flatpak";
    DIR* dir = opendir(root.c_str());
    if (dir == nullptr) {
        return instances;
    }
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        const std::string folder = root + "/" + entry->d_name;
        std::optional<std::string> info = textOf(folder + "/info");
        if (!info) {
            continue;
        }
        FlatpakInstance instance{std::move(*info), std::nullopt};
        if (const std::optional<std::string> pid = textOf(folder + "/pid")) {
            std::string digits = *pid;
            while (!digits.empty() && (digits.back() == '\n' || digits.back() == ' ')) {
                digits.pop_back();
            }
            instance.pid = pidOf(digits.c_str());
        }
        instances.push_back(std::move(instance));
    }
    closedir(dir);
    return instances;
}

std::vector<std::string>
ProcSessionProcesses::flatpakMetadata(const std::string& applicationId) const {
    std::vector<std::string> texts;
    // The id becomes part of a path: one that could leave the installation is not looked up.
    if (applicationId.empty() || applicationId.find('/') != std::string::npos ||
        applicationId.front() == '.') {
        return texts;
    }
    for (const std::string& installation : m_flatpakInstallations) {
        std::string path = installation;
        path.append("/app/").append(applicationId).append("/current/active/metadata");
        if (std::optional<std::string> text = textOf(path)) {
            texts.push_back(std::move(*text));
        }
    }
    return texts;
}

} // namespace corvane
