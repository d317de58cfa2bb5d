#include "host/linux/ProcSessionProcesses.h"

#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
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

// The program file of a process; empty when it cannot be read (another user's, a kernel
// thread). A replaced program file still is the one the process runs.
std::string executableOf(int proc, const char* pid) {
    std::array<char, PATH_MAX> buffer{};
    const std::string link = std::string(pid) + "/exe";
    const ssize_t length = readlinkat(proc, link.c_str(), buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) {
        return {};
    }
    std::string executable(buffer.data(), static_cast<std::size_t>(length));
    constexpr std::string_view kDeleted = " (deleted)";
    if (executable.size() > kDeleted.size() && executable.ends_with(kDeleted)) {
        executable.resize(executable.size() - kDeleted.size());
    }
    return executable;
}

// Flatpak's sandbox holds a lock on the instance's ".ref" file while it runs. A folder younger
// than a few seconds may not be locked yet; one without the file is taken as running.
bool instanceRuns(const std::string& folder) {
    const std::string ref = folder + "/.ref";
    const int fd = open(ref.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return errno == ENOENT;
    }
    struct stat info {};
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    // Open file description locks see the sandbox's lock, and any other process's or our own.
    const bool runs = fstat(fd, &info) != 0 || info.st_mtime + 3 >= std::time(nullptr) ||
                      fcntl(fd, F_OFD_GETLK, &lock) != 0 || lock.l_type != F_UNLCK;
    close(fd);
    return runs;
}

bool isScript(const char* path) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    std::array<char, 2> start{};
    const bool script =
        read(fd, start.data(), start.size()) == 2 && start[0] == '#' && start[1] == '!';
    close(fd);
    return script;
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
    const pid_t self = getpid();
    while (const dirent* entry = readdir(dir)) {
        const std::optional<pid_t> pid = pidOf(entry->d_name);
        struct stat info {};
        if (!pid || fstatat(dirfd(dir), entry->d_name, &info, 0) != 0 || info.st_uid != me) {
            continue;
        }
        // A process that ended meanwhile has no file any more.
        if (std::optional<std::string> text =
                textOf(m_procRoot + "/" + entry->d_name + "/cgroup")) {
            processes.push_back(
                {*pid, std::move(*text), executableOf(dirfd(dir), entry->d_name), *pid == self});
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
        if (!info || !instanceRuns(folder)) {
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

std::optional<ProgramFile> ProcSessionProcesses::programFile(const std::string& program) const {
    if (program.empty()) {
        return std::nullopt;
    }
    std::vector<std::string> candidates;
    if (program.find('/') != std::string::npos) {
        if (program.front() != '/') {
            return std::nullopt; // relative to no folder a desktop file knows
        }
        candidates.push_back(program);
    } else {
        const char* path = std::getenv("PATH");
        std::string_view folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
        while (!folders.empty()) {
            const std::size_t colon = std::min(folders.find(':'), folders.size());
            const std::string_view folder = folders.substr(0, colon);
            if (!folder.empty() && folder.front() == '/') {
                candidates.push_back(std::string(folder) + "/" + program);
            }
            folders.remove_prefix(std::min(colon + 1, folders.size()));
        }
    }
    for (const std::string& candidate : candidates) {
        std::array<char, PATH_MAX> resolved{};
        if (access(candidate.c_str(), X_OK) != 0 ||
            realpath(candidate.c_str(), resolved.data()) == nullptr) {
            continue;
        }
        struct stat info {};
        if (stat(resolved.data(), &info) != 0 || !S_ISREG(info.st_mode)) {
            continue;
        }
        return ProgramFile{resolved.data(), isScript(resolved.data())};
    }
    return std::nullopt;
}

void ProcSessionProcesses::terminate(pid_t pid) {
    if (pid > 0 && pid != getpid()) {
        kill(pid, SIGTERM);
    }
}

} // namespace corvane
