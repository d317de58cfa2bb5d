#pragma once

#include <string>
#include <string_view>

namespace corvane {

// The path without its trailing "/" characters; "/" itself stays "/".
std::string withoutTrailingSlashes(std::string_view path);

// The last component of the path ("Widget.app" of "/Applications/Widget.app/"); "/" stays "/".
std::string lastPathComponent(std::string_view path);

} // namespace corvane
