#include "hostile/HostileFixture.h"

#include "base/Paths.h"
#include "core/UserFolders.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace corvane::testing {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "corvane-outside-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    m_path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

namespace {

std::optional<std::string> realPath(const std::string& path) {
    char buffer[PATH_MAX];
    if (realpath(path.c_str(), buffer) == nullptr) {
        return std::nullopt;
    }
    return std::string(buffer);
}

} // namespace

bool GuardedLauncher::isAllowedTarget(const std::string& path) const {
    if (allowed.empty() || path.empty() || path.back() == '/' || !isInsideFolder(path, allowed) ||
        path == allowed) {
        return false;
    }
    const fs::path target(path);
    const std::optional<std::string> parent = realPath(target.parent_path().string());
    const std::optional<std::string> root = realPath(allowed);
    return parent && root && isInsideFolder(*parent, *root);
}

Result<ProcessOutput> GuardedLauncher::run(const std::string& launchPath,
                                           const std::vector<std::string>& arguments) {
    ToolRun run{launchPath};
    run.insert(run.end(), arguments.begin(), arguments.end());
    runs.push_back(run);
    if (beforeRun) {
        beforeRun(run);
    }
    if (launchPath != "/bin/rm") {
        return ProcessOutput{};
    }
    if (arguments.size() != 2 || arguments[0] != "-rf" || !isAllowedTarget(arguments[1])) {
        refused.push_back(run);
        return ProcessOutput{};
    }
    return m_real.run(launchPath, arguments);
}

Snapshot takeSnapshot(const std::vector<std::string>& roots) {
    Snapshot snapshot;
    for (const std::string& root : roots) {
        std::error_code error;
        snapshot[root] = fs::is_directory(fs::symlink_status(root, error));
        for (auto it = fs::recursive_directory_iterator(
                 root, fs::directory_options::skip_permission_denied, error);
             it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (error) {
                break;
            }
            snapshot[it->path().string()] = fs::is_directory(it->symlink_status(error));
        }
    }
    return snapshot;
}

std::vector<std::string> removedOutsideListed(const Snapshot& before, const Snapshot& after,
                                              const std::vector<std::string>& listed) {
    std::vector<std::string> wrong;
    for (const auto& [path, isFolder] : before) {
        if (after.contains(path)) {
            continue;
        }
        bool covered = false;
        for (const std::string& entry : listed) {
            const auto found = before.find(entry);
            const bool listedFolder = found != before.end() && found->second;
            if (path == entry || (listedFolder && isInsideFolder(path, entry))) {
                covered = true;
                break;
            }
        }
        if (!covered) {
            wrong.push_back(path);
        }
    }
    return wrong;
}

void writeFile(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

void makeLink(const std::string& target, const std::string& link) {
    fs::create_directories(fs::path(link).parent_path());
    fs::create_symlink(target, link);
}

HostileFixture::HostileFixture() {
    services.bundles = &realBundles;
    services.launcher = &launcher;
    services.runningApplications = &running;
    services.clock = &clock;
    services.cookieStore = &cookies;
    launcher.allowed = home.path();
}

std::string HostileFixture::bundle(const std::string& name, const std::string& infoPlist) const {
    return makeBundle(home.path() + "/Applications", name, infoPlist);
}

std::string HostileFixture::bundleWithIdentifier(const std::string& name,
                                                 const std::string& identifier) const {
    return bundle(name, xmlInfoPlist({{"CFBundleIdentifier", identifier}}));
}

void HostileFixture::choose(const std::string& path) {
    openPanel.picks.push_back(path);
    delegate().chooseApp();
}

std::vector<std::string> HostileFixture::listed() {
    std::vector<std::string> all = delegate().fullFilePaths();
    all.insert(all.end(), delegate().fullStatePaths().begin(), delegate().fullStatePaths().end());
    return all;
}

std::vector<std::string> HostileFixture::fixAndCheck(const std::vector<std::string>& alsoRemoved) {
    listedAtFix = listed();
    listedAtFix.insert(listedAtFix.end(), alsoRemoved.begin(), alsoRemoved.end());
    const std::vector<std::string> roots = {home.path(), outside.path()};
    const Snapshot before = takeSnapshot(roots);
    // No Trash is given, so Fix asks before removing for good: the user agrees.
    alerts.answers.push_back(kAlertSecondButtonReturn);
    delegate().fixButtonMethod();
    return removedOutsideListed(before, takeSnapshot(roots), listedAtFix);
}

std::size_t HostileFixture::removalRuns() const {
    std::size_t count = 0;
    for (const ToolRun& run : launcher.runs) {
        count += run.front() == "/bin/rm" ? 1 : 0;
    }
    return count;
}

} // namespace corvane::testing
