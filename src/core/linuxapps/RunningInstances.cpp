#include "core/linuxapps/RunningInstances.h"

#include "base/Text.h"
#include "core/linuxapps/KeyFile.h"

#include <algorithm>
#include <array>

namespace corvane {

namespace {

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::optional<std::string> unescapedUnitName(std::string_view escaped) {
    std::string out;
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '\\') {
            out += escaped[i];
            continue;
        }
        if (i + 3 >= escaped.size() || escaped[i + 1] != 'x' || hexDigitValue(escaped[i + 2]) < 0 ||
            hexDigitValue(escaped[i + 3]) < 0) {
            return std::nullopt;
        }
        out +=
            static_cast<char>(hexDigitValue(escaped[i + 2]) * 16 + hexDigitValue(escaped[i + 3]));
        i += 3;
    }
    return out;
}

// The random part launchers add to a unit name: letters and digits (a PID, a hex string).
bool isRandomPart(std::string_view part) {
    return !part.empty() && std::all_of(part.begin(), part.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
}

std::string_view baseName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

bool execProgramNamesOwnFile(std::string_view program) {
    static constexpr std::array<std::string_view, 28> kRunOthers = {
        "bash",   "busybox", "csh",  "dash",   "dotnet", "electron", "env",
        "fish",   "flatpak", "gjs",  "java",   "ksh",    "lua",      "luajit",
        "mksh",   "mono",    "node", "nodejs", "perl",   "php",      "pypy",
        "python", "ruby",    "sh",   "tclsh",  "tcsh",   "wish",     "zsh"};
    std::string_view name = baseName(program);
    // python3.12, perl5.36, electron25
    while (!name.empty() && ((name.back() >= '0' && name.back() <= '9') || name.back() == '.')) {
        name.remove_suffix(1);
    }
    return !name.empty() &&
           std::find(kRunOthers.begin(), kRunOthers.end(), name) == kRunOthers.end();
}

std::optional<std::string> ownExecProgram(std::string_view exec) {
    std::vector<std::string> words;
    std::optional<std::string> word;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (c == ' ') {
            if (word) {
                words.push_back(std::move(*word));
                word.reset();
            }
        } else if (c == '"') {
            // Inside quotes a backslash escapes the next character.
            word.emplace(word.value_or(""));
            for (++i; i < exec.size() && exec[i] != '"'; ++i) {
                if (exec[i] == '\\' && i + 1 < exec.size()) {
                    ++i;
                }
                *word += exec[i];
            }
            if (i == exec.size()) {
                return std::nullopt; // a quote left open
            }
        } else {
            word.emplace(word.value_or("")) += c;
        }
    }
    if (word) {
        words.push_back(std::move(*word));
    }
    if (words.empty() || words.front().empty()) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string& argument = words[i];
        const bool fieldCode = argument.size() == 2 && argument[0] == '%';
        const bool bareOption =
            argument.size() > 1 && argument[0] == '-' && argument.find('=') == std::string::npos;
        if (!fieldCode && !bareOption) {
            return std::nullopt;
        }
    }
    return words.front();
}

std::optional<std::string> applicationProgramFile(const SessionProcesses& session,
                                                  const std::string& execProgram) {
    if (!execProgramNamesOwnFile(execProgram)) {
        return std::nullopt;
    }
    std::optional<ProgramFile> file = session.programFile(execProgram);
    // /usr/bin/x-terminal-emulator leads to a file of any name.
    if (!file || file->script || !execProgramNamesOwnFile(file->path)) {
        return std::nullopt;
    }
    return std::move(file->path);
}

std::optional<std::string> applicationIdOfUnit(std::string_view unit) {
    constexpr std::string_view prefix = "app-";
    if (unit.substr(0, prefix.size()) != prefix) {
        return std::nullopt;
    }
    std::string_view rest = unit.substr(prefix.size());
    if (endsWith(rest, ".scope")) {
        rest.remove_suffix(6);
        // A scope ends in "-RANDOM", which the id (its '-' escaped) cannot contain.
        const std::size_t dash = rest.rfind('-');
        if (dash == std::string_view::npos || !isRandomPart(rest.substr(dash + 1))) {
            return std::nullopt;
        }
        rest = rest.substr(0, dash);
    } else if (endsWith(rest, ".service")) {
        rest.remove_suffix(8);
        const std::size_t at = rest.find('@');
        if (at != std::string_view::npos) {
            if (!isRandomPart(rest.substr(at + 1))) {
                return std::nullopt;
            }
            rest = rest.substr(0, at);
        }
    } else {
        return std::nullopt;
    }
    // What is left is "[LAUNCHER-]ID"; the launcher is the part before the last raw '-'.
    const std::size_t dash = rest.rfind('-');
    if (dash != std::string_view::npos) {
        rest = rest.substr(dash + 1);
    }
    if (rest.empty()) {
        return std::nullopt;
    }
    return unescapedUnitName(rest);
}

bool cgroupRunsApplication(std::string_view cgroupText, std::string_view applicationId,
                           LinuxPackage package) {
    while (!cgroupText.empty()) {
        const std::size_t end = std::min(cgroupText.find('\n'), cgroupText.size());
        std::string_view line = cgroupText.substr(0, end);
        cgroupText.remove_prefix(std::min(end + 1, cgroupText.size()));
        // The path follows the second ':'; controller lists never contain '/'.
        const std::size_t first = line.find(':');
        const std::size_t second =
            first == std::string_view::npos ? first : line.find(':', first + 1);
        if (second == std::string_view::npos) {
            continue;
        }
        std::string_view path = line.substr(second + 1);
        while (!path.empty()) {
            const std::size_t slash = std::min(path.find('/'), path.size());
            const std::string_view unit = path.substr(0, slash);
            const bool flatpak = unit.starts_with("app-flatpak-");
            if (applicationIdOfUnit(unit) == applicationId &&
                (package == LinuxPackage::Any || flatpak == (package == LinuxPackage::Flatpak))) {
                return true;
            }
            path.remove_prefix(std::min(slash + 1, path.size()));
        }
    }
    return false;
}

std::optional<std::string> flatpakInstanceApplication(std::string_view infoText) {
    std::optional<std::string> name = KeyFile::parse(infoText).value("Application", "name");
    if (name && name->empty()) {
        return std::nullopt;
    }
    return name;
}

std::optional<std::string> flatpakDconfMigratePath(std::string_view metadataText) {
    std::optional<std::string> path = KeyFile::parse(metadataText).value("X-DConf", "migrate-path");
    if (!path || path->empty() || path->front() != '/') {
        return std::nullopt;
    }
    if (path->back() != '/') {
        *path += '/';
    }
    return path;
}

Result<RunningInstances> runningInstances(const SessionProcesses& session,
                                          std::string_view applicationId,
                                          const std::optional<std::string>& programFile,
                                          LinuxPackage package) {
    Result<std::vector<ProcessCgroup>> processes = session.userProcessCgroups();
    if (!processes) {
        return processes.error();
    }
    RunningInstances found;
    for (const ProcessCgroup& process : *processes) {
        if (cgroupRunsApplication(process.cgroupText, applicationId, package) ||
            (programFile && !programFile->empty() && process.executable == *programFile)) {
            found.pids.push_back(process.pid);
            found.includesThisProgram = found.includesThisProgram || process.thisProgram;
        }
    }
    for (const FlatpakInstance& instance : session.flatpakInstances()) {
        if (package == LinuxPackage::Host ||
            flatpakInstanceApplication(instance.infoText) != applicationId) {
            continue;
        }
        found.flatpakInstance = true;
        if (instance.pid &&
            std::find(found.pids.begin(), found.pids.end(), *instance.pid) == found.pids.end()) {
            found.pids.push_back(*instance.pid);
        }
    }
    std::sort(found.pids.begin(), found.pids.end());
    return found;
}

std::optional<std::string> flatpakDconfMigratePath(const SessionProcesses& session,
                                                   const std::string& applicationId) {
    for (const std::string& metadata : session.flatpakMetadata(applicationId)) {
        if (std::optional<std::string> path = flatpakDconfMigratePath(metadata)) {
            return path;
        }
    }
    return std::nullopt;
}

} // namespace corvane
