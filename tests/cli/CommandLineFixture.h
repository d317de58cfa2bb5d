#pragma once

#include "TestPaths.h"
#include "host/posix/ChildProcess.h"
#include "host/posix/PlistBundleReader.h"
#include "support/DelegateFixture.h"
#include "support/PlistFiles.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace corvane::testing {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// The built program as a child process with standard input on /dev/null (no terminal), in the
// test's home; standard error is caught through a file.
class CommandLine : public DelegateFixture {
protected:
    CommandLine() {
        // The command line needs no display.
        for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
            unsetenv(variable);
        }
        services.bundles = &plistBundles;
        apps = home.path() + "/Applications";
        // The program reaches no session bus, so it never touches the settings of whoever runs
        // the tests; a test that wants one starts its own.
        setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + home.path() + "/no-bus").c_str(), 1);
    }

    // `redirect` is added to the shell's command, e.g. ">/dev/full" or ">&-".
    Outcome corvane(const std::vector<std::string>& arguments,
                    const std::string& redirect = {}) const {
        const std::string errFile = home.path() + "/stderr.txt";
        std::vector<std::string> shell = {"-c",
                                          "exec \"$0\" \"$@\" 2>\"$CORVANE_TEST_ERR\" " + redirect,
                                          std::string(kBuildDir) + "/corvane"};
        shell.insert(shell.end(), arguments.begin(), arguments.end());
        setenv("CORVANE_TEST_ERR", errFile.c_str(), 1);
        ChildOptions options;
        options.timeout = std::chrono::seconds(60);
        const ChildResult child = runChildProcess("/bin/sh", shell, options);
        std::ifstream in(errFile);
        std::ostringstream err;
        err << in.rdbuf();
        return {child.exitStatus.value_or(-1), child.output, err.str()};
    }

    // The program on a pseudo-terminal, as a user runs it, with `answer` typed in; what it
    // printed and asked comes back as the output.
    Outcome onTerminal(const std::vector<std::string>& arguments, const std::string& answer) const;

    // The program started in the background with its output in files beside the home; the
    // pid to wait for.
    // With `output`, standard output is that descriptor instead of a file.
    pid_t start(const std::vector<std::string>& arguments, const std::string& name,
                int output = -1) const;
    // Waits for a program start() began; its exit status, or -1 when a signal ended it.
    static Outcome finish(pid_t pid, const std::string& outFile, const std::string& errFile);

    std::string app(const std::string& name, const std::string& identifier) const {
        return makeBundle(apps, name, xmlInfoPlist({{"CFBundleIdentifier", identifier}}));
    }

    // What the window lists for the bundle, in the order of the full path lists.
    std::vector<std::string> windowLists(const std::string& bundle) {
        openPanel.picks.push_back(bundle);
        delegate().chooseApp();
        std::vector<std::string> all = delegate().fullFilePaths();
        all.insert(all.end(), delegate().fullStatePaths().begin(),
                   delegate().fullStatePaths().end());
        return all;
    }

    static std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> found;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            found.push_back(line);
        }
        return found;
    }

    PlistBundleReader plistBundles;
    std::string apps;
};

} // namespace corvane::testing
