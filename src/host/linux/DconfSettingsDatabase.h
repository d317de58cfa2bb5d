#pragma once

#include "ports/SettingsDatabase.h"

#include <chrono>
#include <future>
#include <optional>

namespace corvane {

struct DconfState;

// The settings database through dconf's client library over the session bus, never by editing
// its file. Before the first call it makes sure the session bus answers and the dconf service
// runs (starting it as the bus does), each within `timeout`; until then nothing touches dconf.
// reachAhead() makes that check on a thread of its own, which the object never waits for but
// at its first call. One object serves one thread at a time.
class DconfSettingsDatabase final : public SettingsDatabase {
public:
    explicit DconfSettingsDatabase(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    ~DconfSettingsDatabase() override;
    DconfSettingsDatabase(const DconfSettingsDatabase&) = delete;
    DconfSettingsDatabase& operator=(const DconfSettingsDatabase&) = delete;

    Result<SettingsValues> dump(const SettingsFolder& folder) override;
    Result<std::vector<std::string>> lockedKeys(const SettingsFolder& folder) override;
    Status replace(const SettingsFolder& folder, const SettingsValues& values) override;
    void reachAhead() override;

private:
    Status connect();

    std::chrono::milliseconds m_timeout;
    std::optional<Status> m_connection;
    std::future<Status> m_ahead; // the check reachAhead() started, until its answer is taken
    DconfState* m_state = nullptr;
};

} // namespace corvane
