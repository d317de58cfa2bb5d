#include "cli/CommandLine.h"
#include "host/posix/HelperPrograms.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <variant>

// The command line runs here, in a program that loads no window toolkit: loading the toolkit's
// libraries cost a one-entry reset several times its own work. The window is a program of its
// own, started in this process's place with the same arguments.
int main(int argc, char** argv) {
    const auto command = corvane::cli::runCommandLine(argc, argv);
    if (const int* status = std::get_if<int>(&command)) {
        return *status;
    }
    const std::string window = corvane::helperProgramPath("corvane-window");
    if (!window.empty()) {
        execv(window.c_str(), argv);
    }
    std::fprintf(stderr, "corvane: could not start the window program corvane-window: %s\n",
                 window.empty() ? "it is not installed beside this program" : std::strerror(errno));
    return 2;
}
