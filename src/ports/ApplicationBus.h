#pragma once

#include "base/Result.h"

#include <string>

namespace corvane {

// The session bus, as far as asking a running application to quit goes.
class ApplicationBus {
public:
    virtual ~ApplicationBus() = default;

    // Whether a connection owns the name on the session bus now. An error when the bus cannot be
    // asked.
    [[nodiscard]] virtual Result<bool> nameHasOwner(const std::string& name) const = 0;

    // Activates the action (with no parameter) that the owner of `name` exports through
    // org.gtk.Actions at `objectPath`, and waits for its answer. Never starts a program: a name
    // nobody owns is an error, as is an action the owner refuses or does not have.
    [[nodiscard]] virtual Status activateAction(const std::string& name,
                                                const std::string& objectPath,
                                                const std::string& action) = 0;
};

} // namespace corvane
