#pragma once

#include <string>
#include <vector>

namespace corvane {

class FileSystem;
struct UserFolders;

// The folders a reset takes entries from and Restore puts them back into: the roots of the kinds
// of entries for one home (the Library, ~/.var/app and the base folders of Linux applications),
// each with its links resolved and lying strictly beneath the resolved home. A root that leads
// out of the home is left out, so nothing is taken from or put back into it.
class Confinement {
public:
    Confinement() = default;
    // Roots given resolved already, as a test or a caller that checked them has them.
    explicit Confinement(std::vector<std::string> roots);
    static Confinement ofHome(const FileSystem& fs, const UserFolders& folders);

    bool empty() const { return m_roots.empty(); }
    const std::vector<std::string>& roots() const { return m_roots; }
    // The root `path` lies strictly beneath (plain text comparison); none when it lies in none.
    const std::string* rootOf(const std::string& path) const;
    // "/home/u/Library, /home/u/.var/app, ...", for a log line.
    std::string listed() const;

private:
    std::vector<std::string> m_roots; // none inside another
};

} // namespace corvane
