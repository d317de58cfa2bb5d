#include "platform/HelperPrograms.h"

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

std::string folderOfRunningProgram() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) {
        return {};
    }
    const std::string exe(buffer, static_cast<std::size_t>(length));
    const std::size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

} // namespace

std::string helperProgramPath(const std::string& name) {
    for (const std::string& folder : {folderOfRunningProgram(), std::string(CORVANE_LIBEXEC_DIR)}) {
        if (!folder.empty() && isExecutableFile(folder + "/" + name)) {
            return folder + "/" + name;
        }
    }
    return {};
}

} // namespace corvane
