#pragma once

#include <string>

namespace corvane {

// The absolute path of this process's executable; empty where the system does not tell. Each
// system's folder implements it (on Linux from /proc).
std::string runningProgramPath();

} // namespace corvane
