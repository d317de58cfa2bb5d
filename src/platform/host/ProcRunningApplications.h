#pragma once

#include "platform/Processes.h"

namespace corvane {

class BundleReader;

// Running applications found through /proc: processes of this user whose executable lies in
// `X.app/Contents/MacOS/` of a bundle with the identifier.
class ProcRunningApplications : public RunningApplications {
public:
    explicit ProcRunningApplications(const BundleReader& bundles);
    std::vector<pid_t> withBundleIdentifier(const std::string& identifier) const override;
    void terminate(pid_t pid) override;

private:
    const BundleReader& m_bundles;
};

} // namespace corvane
