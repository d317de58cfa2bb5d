#pragma once

#include "ports/ApplicationBus.h"

#include <string>

struct _GDBusConnection; // NOLINT(bugprone-reserved-identifier): GIO names it so

namespace corvane {

// The session bus through GIO's GDBus. Connects when first asked, and asks with the no-auto-start
// flag: a call never starts the program that would own the name.
class GioApplicationBus final : public ApplicationBus {
public:
    GioApplicationBus(); // the user's session bus
    explicit GioApplicationBus(std::string address);
    ~GioApplicationBus() override;
    GioApplicationBus(const GioApplicationBus&) = delete;
    GioApplicationBus& operator=(const GioApplicationBus&) = delete;

    Result<bool> nameHasOwner(const std::string& name) const override;
    Status activateAction(const std::string& name, const std::string& objectPath,
                          const std::string& action) override;

private:
    Result<_GDBusConnection*> connection() const;

    std::string m_address; // empty: the session bus
    mutable _GDBusConnection* m_connection = nullptr;
};

} // namespace corvane
