#pragma once

namespace corvane {

// While one lives, SIGINT, SIGTERM and SIGHUP do not end the program at once: they ask the work
// in hand to stop after the entry it is moving, so that its journal line is written and nothing
// is half moved. Scopes nest; the outermost puts the earlier handlers back.
class InterruptionScope {
public:
    InterruptionScope();
    ~InterruptionScope();
    InterruptionScope(const InterruptionScope&) = delete;
    InterruptionScope& operator=(const InterruptionScope&) = delete;

    // True once one of the signals arrived while a scope lived (until the next outermost scope).
    static bool requested();
};

} // namespace corvane
