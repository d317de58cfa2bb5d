#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvane::testing {

// A binary cookies file built byte by byte, independently of the store's own writer.
std::string be32(std::uint32_t v);
std::string le32(std::uint32_t v);
std::string cookieRecord(const std::string& domain, const std::string& name,
                         const std::string& path, const std::string& value);
std::string cookiePage(const std::vector<std::string>& records);
std::string cookieFile(const std::vector<std::string>& pages);
extern const std::string kCookieTrailer;

} // namespace corvane::testing
