#pragma once

#include <cstdint>
#include <optional>

namespace corvane {

// This process's resident set size now, in bytes; none where the system does not tell.
std::optional<std::uint64_t> residentBytes();

} // namespace corvane
