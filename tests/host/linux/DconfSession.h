#pragma once

#include <string>
#include <sys/types.h>

namespace corvane::testing {

// A session bus of the test's own in a temporary folder, which starts dconf's service when asked.
// The bus and so the service inherit the environment set before: a 0700 XDG_RUNTIME_DIR and an
// XDG_CONFIG_HOME in the folder, so that the user's own settings are never touched.
class PrivateSessionBus {
public:
    // `withDconf` false: the bus knows no services at all.
    PrivateSessionBus(const std::string& folder, bool withDconf);
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    bool started() const { return m_pid > 0; }
    const std::string& address() const { return m_address; }

private:
    pid_t m_pid = -1;
    std::string m_address;
};

// A Unix socket at `path` that takes connections and never says a word, closed with the object.
class SilentSocket {
public:
    explicit SilentSocket(const std::string& path);
    ~SilentSocket();
    SilentSocket(const SilentSocket&) = delete;
    SilentSocket& operator=(const SilentSocket&) = delete;

    bool listening() const { return m_listening; }

private:
    int m_fd = -1;
    bool m_listening = false;
};

// The folder of the test program's dconf session (set up once per program, since GLib and dconf
// keep the first bus and user folders they see).
const std::string& dconfSessionFolder();

// A fresh temporary folder.
std::string temporaryFolder(const std::string& name);

void writeFile(const std::string& path, const std::string& content);

} // namespace corvane::testing
