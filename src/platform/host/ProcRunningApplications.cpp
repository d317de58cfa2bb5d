#include "platform/host/ProcRunningApplications.h"

#include "platform/Workspace.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <unistd.h>

namespace corvane {

namespace {

constexpr std::string_view kExecutableFolder = ".app/Contents/MacOS/";
constexpr std::string_view kDeletedSuffix = " (deleted)";

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

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

// True when the process runs as `user` (its real user) and has not ended (no zombie).
bool isLiveProcessOfUser(pid_t pid, uid_t user) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    std::optional<bool> ownUser;
    bool alive = false;
    while (std::getline(status, line)) {
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

std::optional<std::string> executableOf(pid_t pid) {
    char buffer[PATH_MAX];
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    const ssize_t length = readlink(link.c_str(), buffer, sizeof buffer - 1);
    if (length <= 0) {
        return std::nullopt;
    }
    std::string executable(buffer, static_cast<std::size_t>(length));
    // A replaced executable still belongs to the application that runs it.
    if (executable.size() > kDeletedSuffix.size() && executable.ends_with(kDeletedSuffix)) {
        executable.resize(executable.size() - kDeletedSuffix.size());
    }
    return executable;
}

// True for the programs that run a script named on their command line: shells and the common
// script languages, with or without a version in the name (python3.11, perl5.36).
bool isInterpreter(const std::string& executable) {
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
std::optional<std::string> scriptOf(pid_t pid) {
    constexpr std::size_t kMaxCommandLine = std::size_t{16} * 1024;
    constexpr std::size_t kMaxArguments = 16;
    const std::string folder = "/proc/" + std::to_string(pid);
    std::ifstream file(folder + "/cmdline", std::ios::binary);
    std::string line(kMaxCommandLine, '\0');
    file.read(line.data(), static_cast<std::streamsize>(line.size()));
    line.resize(static_cast<std::size_t>(file.gcount()));

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
        char buffer[PATH_MAX];
        const ssize_t length = readlink((folder + "/cwd").c_str(), buffer, sizeof buffer - 1);
        if (length <= 0) {
            return std::nullopt;
        }
        script = std::string(buffer, static_cast<std::size_t>(length)) + "/" + *script;
    }
    return script;
}

} // namespace

std::optional<std::string> bundleOfExecutable(const std::string& executable) {
    const std::size_t at = executable.rfind(kExecutableFolder);
    if (at == std::string::npos || at == 0 || executable[at - 1] == '/') {
        return std::nullopt;
    }
    return executable.substr(0, at + 4);
}

ProcRunningApplications::ProcRunningApplications(const BundleReader& bundles)
    : m_bundles(bundles) {}

std::vector<pid_t>
ProcRunningApplications::withBundleIdentifier(const std::string& identifier) const {
    std::vector<pid_t> found;
    if (identifier.empty()) {
        return found;
    }
    std::unique_ptr<DIR, DirCloser> proc(opendir("/proc"));
    if (!proc) {
        return found;
    }
    const uid_t user = getuid();
    const pid_t self = getpid();
    // Reading a bundle can take a child process; each bundle is read once per query.
    std::map<std::string, bool> bundleMatches;
    while (const dirent* entry = readdir(proc.get())) {
        const std::optional<pid_t> pid = pidOf(entry->d_name);
        // Never ask ourselves to quit, even when the target is this program's own bundle.
        if (!pid || *pid == self) {
            continue;
        }
        const std::optional<std::string> executable = executableOf(*pid);
        std::optional<std::string> bundle =
            executable ? bundleOfExecutable(*executable) : std::nullopt;
        // A script in the bundle runs under an interpreter that lies elsewhere.
        if (!bundle && executable && isInterpreter(*executable)) {
            const std::optional<std::string> script = scriptOf(*pid);
            bundle = script ? bundleOfExecutable(*script) : std::nullopt;
        }
        if (!bundle || !isLiveProcessOfUser(*pid, user)) {
            continue;
        }
        auto known = bundleMatches.find(*bundle);
        if (known == bundleMatches.end()) {
            const std::optional<BundleInfo> info = m_bundles.readBundle(*bundle);
            known = bundleMatches.emplace(*bundle, info && info->identifier == identifier).first;
        }
        if (known->second) {
            found.push_back(*pid);
        }
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
