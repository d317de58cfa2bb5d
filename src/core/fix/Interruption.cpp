#include "core/fix/Interruption.h"

#include <array>
#include <csignal>

namespace corvane {

namespace {

constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};
volatile std::sig_atomic_t g_requested = 0;
int g_depth = 0;
std::array<struct sigaction, kSignals.size()> g_previous{};

extern "C" void noteInterruption(int) {
    g_requested = 1;
}

} // namespace

InterruptionScope::InterruptionScope() {
    if (g_depth++ > 0) {
        return;
    }
    g_requested = 0;
    struct sigaction action {};
    action.sa_handler = noteInterruption;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        sigaction(kSignals[i], &action, &g_previous[i]);
    }
}

InterruptionScope::~InterruptionScope() {
    if (--g_depth > 0) {
        return;
    }
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        sigaction(kSignals[i], &g_previous[i], nullptr);
    }
}

bool InterruptionScope::requested() {
    return g_requested != 0;
}

} // namespace corvane
