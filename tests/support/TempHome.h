#pragma once

#include <optional>
#include <string>

namespace corvane::testing {

// A fresh home folder under /tmp that $HOME points at for the life of the object, with
// $XDG_DATA_HOME (and so the user's Trash) at its .local/share, which does not exist yet.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::string& path() const { return m_path; }
    std::string library() const { return m_path + "/Library"; }

    // Creates a file (and its folders) at a path relative to the home.
    void file(const std::string& relative, const std::string& content = "x") const;
    void folder(const std::string& relative) const;
    bool exists(const std::string& relative) const;

private:
    std::string m_path;
    std::optional<std::string> m_previousHome;
    std::optional<std::string> m_previousDataHome;
};

// The whole content of a file, empty when it cannot be read.
std::string contentOf(const std::string& path);

} // namespace corvane::testing
