#pragma once

#include "app/Dialogs.h"
#include "core/fix/LibraryRemover.h"

#include <string>

namespace corvane {

// The question asked for a Safari target; only the "Hard" button answers Hard.
Alert safariModePrompt();

// The alert for a target that did not quit: `undone` says what was therefore not done ("removed",
// "put back"), `button` which button to press again once the user has quit it.
Alert didNotQuitAlert(const std::string& name, const std::string& undone,
                      const std::string& button);

// The question asked before entries that no Trash can take are removed for good. Cancel is the
// first button and the default: Return, Escape and closing the alert all keep everything.
Alert removeForGoodQuestion(const Untrashable& untrashable);

} // namespace corvane
