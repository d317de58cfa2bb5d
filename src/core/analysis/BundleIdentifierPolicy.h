#pragma once

#include <string_view>

namespace corvane {

// The identifier comes from a file anyone can write and ends up in walks and tool arguments, so
// only the plain reverse-DNS shape is accepted: 1 to 255 letters, digits, '.', '-' and '_', not
// starting with '-' or '.', at least two components and no empty one, and none of the
// preferences' special domains.
bool isAcceptableBundleIdentifier(std::string_view identifier);

} // namespace corvane
