#pragma once

#include <string>

namespace corvane {

// The path of one of Corvane's own helper programs: next to the running program first, else in
// the build folder it was built in; empty when neither holds it.
std::string helperProgramPath(const std::string& name);

} // namespace corvane
