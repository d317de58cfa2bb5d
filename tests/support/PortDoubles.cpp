#include "support/PortDoubles.h"

namespace corvane::testing {

std::optional<std::string> MapWorkspace::fullPathForApplication(const std::string& name) const {
    const std::string key =
        name.size() > 4 && name.substr(name.size() - 4) == ".app" ? name : name + ".app";
    const auto found = applications.find(key);
    return found == applications.end() ? std::nullopt : std::optional(found->second);
}

Result<BundleInfo, BundleError> MapBundleReader::readBundle(const std::string& bundlePath) const {
    if (const auto failed = failures.find(bundlePath); failed != failures.end()) {
        return failed->second;
    }
    if (const auto found = bundles.find(bundlePath); found != bundles.end()) {
        return found->second;
    }
    return BundleError{BundleFailure::NotABundle, "the item has no Contents/Info.plist"};
}

} // namespace corvane::testing
