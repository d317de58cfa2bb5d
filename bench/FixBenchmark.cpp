// Fixing a target whose saved-state folder holds many files, against one `rm -rf` of an equal
// folder, in alternating rounds. Also checks that the fix starts no removal process for an entry
// that is already gone when its turn comes.

#include "app/AppDelegate.h"
#include "app/ProcessWideValues.h"
#include "platform/host/ChildProcess.h"
#include "platform/host/HostFileSystem.h"
#include "platform/host/PlistBundleReader.h"
#include "platform/host/PosixProcessLauncher.h"
#include "platform/host/ProcRunningApplications.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using namespace corvane;
namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

constexpr const char* kIdentifier = "org.corvane.bench.App";

// Counts the processes the fix starts, and the removal runs for entries already gone.
class CountingLauncher : public ProcessLauncher {
  public:
    std::optional<std::string> run(const std::string& launchPath,
                                   const std::vector<std::string>& arguments) override {
        if (launchPath == "/bin/rm") {
            struct stat info {};
            if (arguments.size() < 2 || lstat(arguments.back().c_str(), &info) != 0) {
                ++removalsOfMissing;
            }
            ++removals;
        }
        std::optional<std::string> output = real.run(launchPath, arguments);
        started += output ? 1 : 0;
        return output;
    }
    int removals = 0;
    int removalsOfMissing = 0;
    int started = 0;
    PosixProcessLauncher real;
};

void fillFolder(const fs::path& folder, int files) {
    fs::create_directories(folder);
    for (int i = 0; i < files; ++i) {
        std::ofstream(folder / ("window-" + std::to_string(i) + ".data")) << "state " << i;
    }
}

double milliseconds(Steady::duration elapsed) {
    return std::chrono::duration<double, std::milli>(elapsed).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;

    std::string pattern = (fs::temp_directory_path() / "corvane-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 2;
    }
    const fs::path home = pattern;
    setenv("HOME", home.c_str(), 1);
    const fs::path state =
        home / "Library/Saved Application State" / (std::string(kIdentifier) + ".savedState");
    const fs::path plain = home / "plain";

    HostFileSystem fileSystem;
    PlistBundleReader bundles;
    ProcRunningApplications running(bundles);
    CountingLauncher launcher;
    Services services;
    services.fileSystem = &fileSystem;
    services.bundles = &bundles;
    services.launcher = &launcher;
    services.runningApplications = &running;

    std::vector<double> removeTimes;
    std::vector<double> fixTimes;
    std::size_t listed = 0;
    bool allRemoved = true;
    for (int round = 0; round < rounds; ++round) {
        fillFolder(plain, files);
        const auto removeStart = Steady::now();
        runChildProcess("/bin/rm", {"-rf", plain.string()});
        removeTimes.push_back(milliseconds(Steady::now() - removeStart));

        fillFolder(state, files);
        processWide() = {};
        processWide().targetBundleIdentifier = kIdentifier;
        processWide().targetApplicationName = "App.app";
        AppDelegate delegate(Outlets{}, services);
        delegate.applicationDidFinishLaunching();
        delegate.setPath("/Applications/App.app");
        delegate.analyser();
        listed = delegate.fullStatePaths().size();
        const auto fixStart = Steady::now();
        delegate.fixButtonMethod();
        fixTimes.push_back(milliseconds(Steady::now() - fixStart));
        allRemoved = allRemoved && !fs::exists(state);
    }
    fs::remove_all(home);

    const double removeMs = median(removeTimes);
    const double fixMs = median(fixTimes);
    const double ratio = fixMs / removeMs;
    std::printf("saved-state folder of %d files, %d alternating rounds, medians\n", files, rounds);
    std::printf("  rm -rf of the folder, one process:  %8.1f ms\n", removeMs);
    std::printf("  fix of the target, whole procedure: %8.1f ms  (%.2f x rm -rf, limit 1.50)\n",
                fixMs, ratio);
    std::printf("  entries listed per fix: %zu; removal processes per fix: %.1f; "
                "removal runs on entries already gone: %d\n",
                listed, static_cast<double>(launcher.removals) / rounds,
                launcher.removalsOfMissing);
    std::printf("  tool processes started per fix (any tool): %.1f\n",
                static_cast<double>(launcher.started) / rounds);
    const bool ok = ratio <= 1.5 && launcher.removalsOfMissing == 0 && allRemoved;
    std::printf("%s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
