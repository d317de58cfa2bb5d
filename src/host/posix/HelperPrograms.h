#pragma once

#include <string>

namespace corvane {

// The path of one of Corvane's own helper programs, for the running program; empty when none of
// the places below holds it.
std::string helperProgramPath(const std::string& name);

// Where a program that lies in programFolder looks for a helper: beside itself (the build
// folder's layout), then in the helper folder of an installation relative to it, then in
// buildFolder, but only when the program itself lies inside buildFolder (the test programs in
// its sub-folders). An installed program therefore never takes a helper from a build tree,
// which may be stale or gone.
std::string findHelperProgram(const std::string& name, const std::string& programFolder,
                              const std::string& buildFolder);

} // namespace corvane
