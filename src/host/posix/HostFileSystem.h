#pragma once

#include "ports/FileSystem.h"

namespace corvane {

// The real file system. The home comes from $HOME, else the password database.
class HostFileSystem : public FileSystem {
public:
    std::optional<std::string> homeDirectory() const override;
    std::optional<std::string> environmentValue(const std::string& variable) const override;
    bool fileExists(const std::string& path) const override;
    bool entryExists(const std::string& path) const override;
    std::optional<EntryStamp> stamp(const std::string& path) const override;
    std::vector<std::optional<EntryStamp>>
    stamps(const std::vector<std::string_view>& paths) const override;
    std::vector<bool> entriesExist(const std::vector<std::string_view>& paths) const override;
    std::optional<std::string> resolvedPath(const std::string& path) const override;
    WalkResult walk(const std::string& root,
                    const std::function<bool(const std::string&)>& visit) const override;
};

// Sibling order of a walk: by name ignoring ASCII case, then by bytes.
bool walkOrderLess(const std::string& a, const std::string& b);

} // namespace corvane
