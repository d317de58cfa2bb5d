#include "host/posix/HelperPrograms.h"

#include "host/RunningProgram.h"

#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace corvane {

namespace {

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

std::string folderOfRunningProgram() {
    const std::string exe = runningProgramPath();
    const std::size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

// Both sides resolved, so that a build folder reached through a symlink still matches the
// program's real location.
bool liesInside(const std::string& path, const std::string& folder) {
    std::error_code error;
    const std::filesystem::path inner = std::filesystem::weakly_canonical(path, error);
    if (error) {
        return false;
    }
    const std::filesystem::path outer = std::filesystem::weakly_canonical(folder, error);
    if (error || outer.empty()) {
        return false;
    }
    auto at = inner.begin();
    for (const auto& part : outer) {
        if (part.empty()) {
            continue;
        }
        if (at == inner.end() || *at != part) {
            return false;
        }
        ++at;
    }
    return true;
}

} // namespace

std::string findHelperProgram(const std::string& name, const std::string& programFolder,
                              const std::string& buildFolder) {
    if (programFolder.empty()) {
        return {};
    }
    std::string installed = programFolder;
    installed.append("/").append(CORVANE_HELPER_DIR_FROM_BIN);
    const bool testProgram = !buildFolder.empty() && liesInside(programFolder, buildFolder);
    for (const std::string& folder :
         {programFolder, installed, testProgram ? buildFolder : std::string()}) {
        if (folder.empty()) {
            continue;
        }
        std::string candidate = folder;
        candidate.append("/").append(name);
        if (isExecutableFile(candidate)) {
            return candidate;
        }
    }
    return {};
}

std::string helperProgramPath(const std::string& name) {
    return findHelperProgram(name, folderOfRunningProgram(), CORVANE_BUILD_DIR);
}

} // namespace corvane
