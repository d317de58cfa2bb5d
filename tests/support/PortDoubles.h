#pragma once

#include "ports/Services.h"
#include "ports/Workspace.h"

#include <map>
#include <string>
#include <vector>

namespace corvane::testing {

// Doubles of the ports the core and the host call, without the window or its presenter.

class MapWorkspace : public Workspace {
public:
    std::optional<std::string> fullPathForApplication(const std::string& name) const override;
    std::map<std::string, std::string> applications; // name (with ".app") -> path
};

// Answers from the maps; a path in neither is no bundle.
class MapBundleReader : public BundleReader {
public:
    Result<BundleInfo, BundleError> readBundle(const std::string& bundlePath) const override;
    std::map<std::string, BundleInfo> bundles;   // path -> info
    std::map<std::string, BundleError> failures; // path -> why it could not be read
};

class RecordingLog : public SystemLog {
public:
    void log(const std::string& line) override { lines.push_back(line); }
    void debug(const std::string& line) override { debugLines.push_back(line); }
    std::vector<std::string> lines;
    std::vector<std::string> debugLines;
};

} // namespace corvane::testing
