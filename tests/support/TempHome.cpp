#include "support/TempHome.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>

namespace corvane::testing {

namespace fs = std::filesystem;

TempHome::TempHome() {
    std::string pattern = (fs::temp_directory_path() / "corvane-home-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("cannot create a temporary home");
    }
    m_path = pattern;
    if (const char* home = std::getenv("HOME")) {
        m_previousHome = home;
    }
    setenv("HOME", m_path.c_str(), 1);
    if (const char* dataHome = std::getenv("XDG_DATA_HOME")) {
        m_previousDataHome = dataHome;
    }
    setenv("XDG_DATA_HOME", (m_path + "/.local/share").c_str(), 1);
}

TempHome::~TempHome() {
    if (m_previousHome) {
        setenv("HOME", m_previousHome->c_str(), 1);
    } else {
        unsetenv("HOME");
    }
    if (m_previousDataHome) {
        setenv("XDG_DATA_HOME", m_previousDataHome->c_str(), 1);
    } else {
        unsetenv("XDG_DATA_HOME");
    }
    std::error_code ignored;
    // Make read-only folders left by a test removable again.
    for (auto it = fs::recursive_directory_iterator(m_path, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            chmod(it->path().c_str(), 0700);
        }
    }
    fs::remove_all(m_path, ignored);
}

void TempHome::file(const std::string& relative, const std::string& content) const {
    const fs::path full = fs::path(m_path) / relative;
    fs::create_directories(full.parent_path());
    std::ofstream(full, std::ios::binary) << content;
}

void TempHome::folder(const std::string& relative) const {
    fs::create_directories(fs::path(m_path) / relative);
}

bool TempHome::exists(const std::string& relative) const {
    std::error_code ignored;
    return fs::symlink_status(fs::path(m_path) / relative, ignored).type() !=
           fs::file_type::not_found;
}

std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

} // namespace corvane::testing
