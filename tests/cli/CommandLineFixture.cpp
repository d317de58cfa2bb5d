#include "cli/CommandLineFixture.h"

#include <algorithm>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace corvane::testing {

pid_t CommandLine::start(const std::vector<std::string>& arguments, const std::string& name,
                         int output) const {
    const std::string program = std::string(kBuildDir) + "/corvane";
    std::vector<std::string> all = {program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const std::string out = home.path() + "/" + name + ".out";
    const std::string err = home.path() + "/" + name + ".err";
    if (output >= 0) {
        posix_spawn_file_actions_adddup2(&actions, output, 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
    }
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

Outcome CommandLine::onTerminal(const std::vector<std::string>& arguments,
                                const std::string& answer) const {
    std::string command = "'" + std::string(kBuildDir) + "/corvane'";
    for (const std::string& argument : arguments) {
        command += " '" + argument + "'";
    }
    // script(1) gives the program a terminal of its own and passes the answer through it.
    const std::vector<std::string> shell = {
        "-c", "printf '%s\\n' \"$0\" | script -qec \"$1\" /dev/null", answer, command};
    ChildOptions options;
    options.timeout = std::chrono::seconds(60);
    const ChildResult child = runChildProcess("/bin/sh", shell, options);
    std::string output = child.output;
    output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());
    return {child.exitStatus.value_or(-1), output, {}};
}

Outcome CommandLine::finish(pid_t pid, const std::string& outFile, const std::string& errFile) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, contentOf(outFile), contentOf(errFile)};
}

} // namespace corvane::testing
