#pragma once

#include <array>
#include <cstddef>

// What corvane-plist-reader prints and what PlistBundleReader expects from it.
namespace corvane::plistreader {

inline constexpr const char* kHeaderLine = "corvane-plist-reader 1";
inline constexpr const char* kEndLine = "end";

inline constexpr const char* kIdentifierKey = "CFBundleIdentifier";
inline constexpr const char* kIconFileKey = "CFBundleIconFile";
inline constexpr const char* kShortVersionKey = "CFBundleShortVersionString";
inline constexpr std::array<const char*, 3> kKeys = {kIdentifierKey, kIconFileKey,
                                                     kShortVersionKey};

// The reader's exit status when the file could not be read (missing, not a regular file, too
// large, empty) or is no property list; 0 goes with the output above.
inline constexpr int kExitUnreadable = 3;
inline constexpr int kExitNotAPlist = 4;

// An Info.plist larger than this is not read at all.
inline constexpr std::size_t kMaxFileSize = std::size_t{1024} * 1024;
// Longer values are dropped; none of the keys holds anything near this in a real bundle.
inline constexpr std::size_t kMaxValueSize = 4096;

} // namespace corvane::plistreader
