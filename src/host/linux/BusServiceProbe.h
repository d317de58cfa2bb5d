#pragma once

#include <chrono>
#include <string>

namespace corvane {

enum class BusProbe {
    ServiceRuns, // the bus answered that the service runs or was started
    TimedOut,    // the bus took connections but did not answer in time
    Unknown,     // anything else: another kind of address, no bus, an error reply
};

// Asks the message bus at `address` (a D-Bus address, "unix:path=..." or "unix:abstract=...")
// to start the service `name` unless it runs, speaking the protocol over a socket of its own.
// That costs a small part of a connection through GIO, which a command that only lists can
// leave unmade. Unknown tells nothing: GIO then asks again and says what went wrong.
BusProbe startServiceOverSocket(const std::string& address, const std::string& name,
                                std::chrono::milliseconds timeout);

} // namespace corvane
