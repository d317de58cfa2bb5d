#include "support/CookieFiles.h"

namespace corvane::testing {

std::string be32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}
std::string le32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

std::string cookieRecord(const std::string& domain, const std::string& name,
                         const std::string& path, const std::string& value) {
    const std::uint32_t domainAt = 56;
    const auto nameAt = static_cast<std::uint32_t>(domainAt + domain.size() + 1);
    const auto pathAt = static_cast<std::uint32_t>(nameAt + name.size() + 1);
    const auto valueAt = static_cast<std::uint32_t>(pathAt + path.size() + 1);
    const auto size = static_cast<std::uint32_t>(valueAt + value.size() + 1);
    std::string r = le32(size) + le32(0) + le32(1) + le32(0) + le32(domainAt) + le32(nameAt) +
                    le32(pathAt) + le32(valueAt) + std::string(8, '\0') + std::string(8, '\x41') +
                    std::string(8, '\x42');
    for (const std::string* text : {&domain, &name, &path, &value}) {
        r += *text;
        r += '\0';
    }
    return r;
}

std::string cookiePage(const std::vector<std::string>& records) {
    std::string p = be32(0x100) + le32(static_cast<std::uint32_t>(records.size()));
    auto at = static_cast<std::uint32_t>(12 + 4 * records.size());
    for (const std::string& r : records) {
        p += le32(at);
        at += static_cast<std::uint32_t>(r.size());
    }
    p += le32(0);
    for (const std::string& r : records) {
        p += r;
    }
    return p;
}

static std::uint32_t checksum(const std::string& page) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < page.size(); i += 4) {
        sum += static_cast<unsigned char>(page[i]);
    }
    return sum;
}

const std::string kCookieTrailer = std::string("\x07\x17\x20\x05\x00\x00\x00\x04", 8) + "PLST";

std::string cookieFile(const std::vector<std::string>& pages) {
    std::string f = "cook" + be32(static_cast<std::uint32_t>(pages.size()));
    std::uint32_t sum = 0;
    for (const std::string& p : pages) {
        f += be32(static_cast<std::uint32_t>(p.size()));
        sum += checksum(p);
    }
    for (const std::string& p : pages) {
        f += p;
    }
    return f + be32(sum) + kCookieTrailer;
}

} // namespace corvane::testing
