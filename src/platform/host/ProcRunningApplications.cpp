#include "platform/host/ProcRunningApplications.h"

namespace corvane {

ProcRunningApplications::ProcRunningApplications(const BundleReader& bundles)
    : m_bundles(bundles) {}

// Placeholder until the fix engine is built.
std::vector<pid_t> ProcRunningApplications::withBundleIdentifier(const std::string&) const {
    return {};
}

void ProcRunningApplications::terminate(pid_t) {}

} // namespace corvane
