#include "host/linux/ProcRunningApplications.h"

#include "base/Directory.h"
#include "ports/Workspace.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string_view>
#include <unistd.h>

namespace corvane {

namespace {

constexpr std::string_view kExecutableFolder = ".app/Contents/MacOS/";
constexpr std::string_view kDeletedSuffix = " (deleted)";

std::optional<pid_t> pidOf(const char* name) {
    if (*name == '\0' || std::strlen(name) > 9) {
        return std::nullopt;
    }
    for (const char* c = name; *c; ++c) {
        if (!std::isdigit(static_cast<unsigned char>(*c))) {
            return std::nullopt;
        }
    }
    return static_cast<pid_t>(std::atol(name));
}

// Up to `limit` bytes of the file `name` (e.g. "123/status") in the /proc folder `proc`.
std::string readProcFile(int proc, const std::string& name, std::size_t limit) {
    const int fd = openat(proc, name.c_str(), O_RDONLY | O_CLOEXEC);
    std::string text;
    if (fd < 0) {
        return text;
    }
    text.resize(limit);
    std::size_t filled = 0;
    ssize_t got = 0;
    while (filled < limit && ((got = read(fd, text.data() + filled, limit - filled)) > 0 ||
                              (got < 0 && errno == EINTR))) {
        filled += got > 0 ? static_cast<std::size_t>(got) : 0;
    }
    close(fd);
    text.resize(filled);
    return text;
}

// The link `name` (e.g. "123/exe") in the /proc folder `proc`; empty when it cannot be read.
std::string_view readProcLink(int proc, const std::string& name, std::span<char> buffer) {
    const ssize_t length = readlinkat(proc, name.c_str(), buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) {
        return {};
    }
    return {buffer.data(), static_cast<std::size_t>(length)};
}

// True when the process runs as `user` (its real user) and has not ended (no zombie).
bool isLiveProcessOfUser(int proc, const std::string& pid, uid_t user) {
    constexpr std::size_t kMaxStatus = std::size_t{8} * 1024;
    const std::string status = readProcFile(proc, pid + "/status", kMaxStatus);
    std::optional<bool> ownUser;
    bool alive = false;
    std::size_t start = 0;
    while (start < status.size()) {
        std::size_t lineEnd = status.find('\n', start);
        lineEnd = lineEnd == std::string::npos ? status.size() : lineEnd;
        const std::string line = status.substr(start, lineEnd - start);
        start = lineEnd + 1;
        if (line.rfind("State:", 0) == 0) {
            const std::size_t code = line.find_first_not_of(" \t", 6);
            alive = code != std::string::npos && line[code] != 'Z' && line[code] != 'X';
        } else if (line.rfind("Uid:", 0) == 0) {
            char* end = nullptr;
            const unsigned long real = std::strtoul(line.c_str() + 4, &end, 10);
            ownUser = end != line.c_str() + 4 && real == user;
        }
    }
    return ownUser.value_or(false) && alive;
}

// A replaced executable still belongs to the application that runs it.
std::string_view withoutDeletedMark(std::string_view executable) {
    if (executable.size() > kDeletedSuffix.size() && executable.ends_with(kDeletedSuffix)) {
        executable.remove_suffix(kDeletedSuffix.size());
    }
    return executable;
}

// True for the programs that run a script named on their command line: shells and the common
// script languages, with or without a version in the name (python3.11, perl5.36).
bool isInterpreter(std::string_view executable) {
    static const std::set<std::string, std::less<>> kInterpreters = {
        "bash", "csh", "dash", "fish",   "ksh",  "lua", "mksh",  "node", "nodejs", "osascript",
        "perl", "php", "pwsh", "python", "ruby", "sh",  "tclsh", "tcsh", "wish",   "zsh"};
    std::string_view name = executable;
    name.remove_prefix(name.rfind('/') == std::string_view::npos ? 0 : name.rfind('/') + 1);
    while (!name.empty() &&
           (std::isdigit(static_cast<unsigned char>(name.back())) || name.back() == '.')) {
        name.remove_suffix(1);
    }
    return kInterpreters.contains(name);
}

// The script an interpreter runs: the first argument after the interpreter's own options, read
// from at most the first few kilobytes of the command line. A relative path is taken from the
// process's working folder.
std::optional<std::string> scriptOf(int proc, const std::string& pid) {
    constexpr std::size_t kMaxCommandLine = std::size_t{16} * 1024;
    constexpr std::size_t kMaxArguments = 16;
    const std::string line = readProcFile(proc, pid + "/cmdline", kMaxCommandLine);

    std::optional<std::string> script;
    std::size_t start = line.find('\0'); // after the interpreter
    bool optionsEnded = false;
    for (std::size_t n = 0; n < kMaxArguments && start != std::string::npos && !script; ++n) {
        const std::size_t end = line.find('\0', start + 1);
        if (end == std::string::npos) {
            break; // cut off by the bound, or not a complete argument
        }
        const std::string argument = line.substr(start + 1, end - start - 1);
        start = end;
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (optionsEnded || argument.empty() || argument.front() != '-') {
            script = argument;
        }
    }
    if (!script || script->empty()) {
        return std::nullopt;
    }
    if (script->front() != '/') {
        std::array<char, PATH_MAX> buffer{};
        const std::string_view folder = readProcLink(proc, pid + "/cwd", buffer);
        if (folder.empty()) {
            return std::nullopt;
        }
        script = std::string(folder) + "/" + *script;
    }
    return script;
}

} // namespace

std::optional<std::string> bundleOfExecutable(std::string_view executable) {
    const std::size_t at = executable.rfind(kExecutableFolder);
    if (at == std::string_view::npos || at == 0 || executable[at - 1] == '/') {
        return std::nullopt;
    }
    return std::string(executable.substr(0, at + 4));
}

ProcRunningApplications::ProcRunningApplications(const BundleReader& bundles)
    : m_bundles(bundles) {}

Result<std::vector<pid_t>>
ProcRunningApplications::withBundleIdentifier(const std::string& identifier) const {
    std::vector<pid_t> found;
    if (identifier.empty()) {
        return found;
    }
    const uid_t user = getuid();
    const pid_t self = getpid();
    // Reading a bundle can take a child process; each bundle is read once per query.
    std::map<std::string, bool> bundleMatches;
    std::array<char, PATH_MAX> buffer{};
    std::string link;
    // Every look below is relative to the folder listed: most processes need a single readlink.
    const bool listed = forEachEntry("/proc", [&](const FolderEntry& entry) {
        const int procFd = entry.folder;
        const std::optional<pid_t> pid = pidOf(entry.name.data());
        // Never ask ourselves to quit, even when the target is this program's own bundle.
        if (!pid || *pid == self) {
            return true;
        }
        const std::string name(entry.name);
        link.assign(name).append("/exe");
        const std::string_view executable = withoutDeletedMark(readProcLink(procFd, link, buffer));
        if (executable.empty()) {
            return true; // a kernel thread, an ended process, or another user's
        }
        std::optional<std::string> bundle = bundleOfExecutable(executable);
        // A script in the bundle runs under an interpreter that lies elsewhere.
        if (!bundle && isInterpreter(executable)) {
            const std::optional<std::string> script = scriptOf(procFd, name);
            bundle = script ? bundleOfExecutable(*script) : std::nullopt;
        }
        if (!bundle || !isLiveProcessOfUser(procFd, name, user)) {
            return true;
        }
        auto known = bundleMatches.find(*bundle);
        if (known == bundleMatches.end()) {
            const Result<BundleInfo, BundleError> info = m_bundles.readBundle(*bundle);
            known = bundleMatches.emplace(*bundle, info && info->identifier == identifier).first;
        }
        if (known->second) {
            found.push_back(*pid);
        }
        return true;
    });
    if (!listed) {
        return Error{"the list of running processes (/proc) cannot be read: " +
                         std::string(std::strerror(errno)),
                     errno};
    }
    std::sort(found.begin(), found.end());
    return found;
}

void ProcRunningApplications::terminate(pid_t pid) {
    if (pid > 0 && pid != getpid()) {
        kill(pid, SIGTERM);
    }
}

} // namespace corvane
