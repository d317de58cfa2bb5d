#pragma once

#include "ports/Ports.h"

#include <memory>

namespace corvane {

// The host's own facilities behind the ports, the same for the window and the command line:
// made together and wired to one another, so they are not copied or moved.
class HostFacilities {
public:
    HostFacilities() = default;
    HostFacilities(const HostFacilities&) = delete;
    HostFacilities& operator=(const HostFacilities&) = delete;
    virtual ~HostFacilities() = default;

    // Every port this host has, valid for as long as the facilities live.
    virtual Ports ports() = 0;
    // The command line says what went wrong in its own words, so its log stays in the system log.
    virtual void setLogEchoToStandardError(bool echo) = 0;
};

// The facilities of the system the program is built for; each system folder (linux/, macos/)
// defines it, and CMake builds the one that fits.
std::unique_ptr<HostFacilities> makeHostFacilities();

} // namespace corvane
