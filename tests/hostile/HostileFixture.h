#pragma once

#include "host/posix/HostFileSystem.h"
#include "host/posix/PlistBundleReader.h"
#include "host/posix/PosixProcessLauncher.h"
#include "support/DelegateFixture.h"
#include "support/FixDoubles.h"
#include "support/PlistFiles.h"

#include <map>
#include <string>
#include <vector>

namespace corvane::testing {

// A fresh folder under /tmp, outside the home, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Records every tool run and runs the real removal tool, but only on a path inside `allowed`
// once its parent folder is resolved; anything else is kept in `refused` and never run, so a
// fault in the code under test cannot reach files outside the test's own home. Other tools
// are not run: they print nothing.
class GuardedLauncher : public ProcessLauncher {
public:
    Result<ProcessOutput> run(const std::string& launchPath,
                              const std::vector<std::string>& arguments) override;

    std::string allowed;
    std::vector<ToolRun> runs;
    std::vector<ToolRun> refused;
    std::function<void(const std::vector<std::string>&)> beforeRun;

private:
    bool isAllowedTarget(const std::string& path) const;
    PosixProcessLauncher m_real;
};

// Every entry beneath the roots (the roots included), never following a symlink; the value
// says whether the entry is a real folder.
using Snapshot = std::map<std::string, bool>;
Snapshot takeSnapshot(const std::vector<std::string>& roots);

// The entries of `before` that are gone in `after` although they were neither listed nor
// inside a listed real folder.
std::vector<std::string> removedOutsideListed(const Snapshot& before, const Snapshot& after,
                                              const std::vector<std::string>& listed);

// A file with content at an absolute path, its folders made; a symlink at `link` to `target`.
void writeFile(const std::string& path, const std::string& content = "keep");
void makeLink(const std::string& target, const std::string& link);

// The chooser, discovery and fix over the real bundle reader, the real file system on a
// temporary home, and the real removal tool behind a recording, guarded launcher.
class HostileFixture : public DelegateFixture {
protected:
    HostileFixture();

    // A bundle under the home's Applications folder with the given Info.plist content.
    std::string bundle(const std::string& name, const std::string& infoPlist) const;
    std::string bundleWithIdentifier(const std::string& name, const std::string& identifier) const;

    void choose(const std::string& path);
    std::string text() const { return window.infoView.string(); }

    // Presses Fix and returns what it removed outside what the analysis listed and
    // `alsoRemoved` (the home and the outside folder are compared before and after).
    std::vector<std::string> fixAndCheck(const std::vector<std::string>& alsoRemoved = {});

    // Every full path the last analysis listed for removal.
    std::vector<std::string> listed();

    // All "/bin/rm" runs seen, allowed or refused.
    std::size_t removalRuns() const;

    TempFolder outside;
    PlistBundleReader realBundles;
    GuardedLauncher launcher;
    ScriptedRunningApplications running;
    FakeClock clock;
    RecordingCookieStore cookies;
    std::vector<std::string> listedAtFix;
};

} // namespace corvane::testing
