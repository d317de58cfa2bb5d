#include "core/fix/Confinement.h"

#include "base/Paths.h"
#include "core/UserFolders.h"
#include "core/analysis/Kinds.h"

#include <algorithm>

namespace corvane {

Confinement::Confinement(std::vector<std::string> roots) {
    // A root inside another adds nothing; without it, each path has one root.
    std::sort(roots.begin(), roots.end());
    for (std::string& root : roots) {
        if (std::none_of(m_roots.begin(), m_roots.end(),
                         [&root](const std::string& kept) { return isInsideFolder(root, kept); })) {
            m_roots.push_back(std::move(root));
        }
    }
}

Confinement Confinement::ofHome(const FileSystem& fs, const UserFolders& folders) {
    std::vector<std::string> roots;
    for (const KindRow& row : kindTable()) {
        if (row.root.empty()) {
            continue;
        }
        if (std::optional<std::string> root =
                confinedFolder(fs, folders.home, kindRootFolder(row, fs, folders.home))) {
            roots.push_back(std::move(*root));
        }
    }
    return Confinement(std::move(roots));
}

const std::string* Confinement::rootOf(const std::string& path) const {
    for (const std::string& root : m_roots) {
        if (path != root && isInsideFolder(path, root)) {
            return &root;
        }
    }
    return nullptr;
}

std::string Confinement::listed() const {
    std::string text;
    for (const std::string& root : m_roots) {
        text += (text.empty() ? "" : ", ") + root;
    }
    return text.empty() ? "(none usable)" : text;
}

} // namespace corvane
