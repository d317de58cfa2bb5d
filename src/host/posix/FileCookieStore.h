#pragma once

#include "ports/Services.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

class FileSystem;

// The shared cookie store: the file Cookies/Cookies.binarycookies in the user Library folder.
// A file that is missing, not a regular file, too large or malformed holds no cookies as far
// as this store is concerned, and is never written.
class FileCookieStore : public CookieStore {
public:
    explicit FileCookieStore(const FileSystem& fs);
    std::vector<Cookie> cookies() override;
    void deleteCookie(const Cookie& cookie) override;
    void deleteCookies(const std::vector<Cookie>& cookies) override;
    std::optional<std::string> storeFile() const override { return storePath(); }
    // Empty when there is no file, or it is empty or a store without cookies; a file that cannot
    // be read as a store is not known to be empty.
    bool isKnownEmpty() override;
    std::string location() const override;

    // Where the store lives; none when the home folder is unusable.
    std::optional<std::string> storePath() const;

private:
    const FileSystem& m_fs;
};

// One cookie of the file: what identifies it, and its record exactly as stored.
struct StoredCookie {
    Cookie cookie;
    std::string record;
};

struct BinaryCookies {
    std::vector<StoredCookie> cookies;
    std::string trailer; // what follows the checksum (the end marker and the policy), kept as is
};

// The binary cookies format: "cook", a big-endian page count and page sizes, the pages
// (little-endian inside), a big-endian checksum and a trailer. None for malformed bytes.
std::optional<BinaryCookies> parseBinaryCookies(std::string_view bytes);
std::string serializeBinaryCookies(const BinaryCookies& store);

} // namespace corvane
