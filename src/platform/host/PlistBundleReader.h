#pragma once

#include "platform/Workspace.h"

namespace corvane {

class PlistBundleReader : public BundleReader {
public:
    std::optional<BundleInfo> readBundle(const std::string& bundlePath) const override;
};

} // namespace corvane
