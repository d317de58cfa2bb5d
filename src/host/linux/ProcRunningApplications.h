#pragma once

#include "ports/Processes.h"

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

class BundleReader;

// Running applications found through /proc: processes of this user whose executable, or the
// script their interpreter runs, lies in `X.app/Contents/MacOS/` of a bundle with the
// identifier. Quitting asks politely (SIGTERM); never this program itself.
class ProcRunningApplications : public RunningApplications {
public:
    explicit ProcRunningApplications(const BundleReader& bundles);
    Result<std::vector<pid_t>> withBundleIdentifier(const std::string& identifier) const override;
    void terminate(pid_t pid) override;

private:
    const BundleReader& m_bundles;
};

// The bundle (".../X.app") whose Contents/MacOS folder holds the executable, innermost first;
// none when the executable lies in no bundle.
std::optional<std::string> bundleOfExecutable(std::string_view executable);

} // namespace corvane
