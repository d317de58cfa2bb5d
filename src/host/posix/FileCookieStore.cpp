#include "host/posix/FileCookieStore.h"

#include "base/Paths.h"
#include "base/RegularFile.h"
#include "ports/FileSystem.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace corvane {

namespace {

constexpr std::string_view kMagic = "cook";
constexpr std::uint32_t kPageHeader = 0x00000100;
constexpr std::size_t kRecordHeaderSize = 56; // sizes, flags, four offsets, two dates
constexpr std::size_t kDomainOffsetAt = 16;
constexpr std::size_t kNameOffsetAt = 20;
constexpr std::size_t kPathOffsetAt = 24;
constexpr std::size_t kValueOffsetAt = 28;
constexpr std::size_t kMaxFileSize = std::size_t{64} * 1024 * 1024;

std::uint32_t bigEndian(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

std::uint32_t littleEndian(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

void putBigEndian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xff));
    }
}

void putLittleEndian(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift <= 24; shift += 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xff));
    }
}

// The NUL-terminated text at the offset stored at `field` of the record.
std::optional<std::string> recordText(std::string_view record, std::size_t field) {
    const std::uint32_t offset = littleEndian(record, field);
    if (offset < kRecordHeaderSize || offset >= record.size()) {
        return std::nullopt;
    }
    const std::size_t end = record.find('\0', offset);
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(record.substr(offset, end - offset));
}

bool parsePage(std::string_view page, std::vector<StoredCookie>& cookies) {
    if (page.size() < 8 || bigEndian(page, 0) != kPageHeader) {
        return false;
    }
    const std::uint32_t count = littleEndian(page, 4);
    if (count > (page.size() - 8) / 4) {
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t start = littleEndian(page, 8 + 4 * std::size_t{i});
        if (start > page.size() || page.size() - start < kRecordHeaderSize) {
            return false;
        }
        const std::uint32_t size = littleEndian(page, start);
        if (size < kRecordHeaderSize || size > page.size() - start) {
            return false;
        }
        const std::string_view record = page.substr(start, size);
        const std::optional<std::string> domain = recordText(record, kDomainOffsetAt);
        const std::optional<std::string> name = recordText(record, kNameOffsetAt);
        const std::optional<std::string> path = recordText(record, kPathOffsetAt);
        if (!domain || !name || !path || !recordText(record, kValueOffsetAt)) {
            return false;
        }
        cookies.push_back({{*domain, *name, *path}, std::string(record)});
    }
    return true;
}

// Replaces the file in one step, so a reader never sees half of it.
bool replaceFile(const std::string& path, const std::string& bytes) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    std::string temporary = path + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool written = true;
    std::size_t done = 0;
    while (written && done < bytes.size()) {
        const ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        written = put > 0;
        done += written ? static_cast<std::size_t>(put) : 0;
    }
    written = written && fchmod(fd, info.st_mode & 07777) == 0 && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

std::optional<BinaryCookies> parseBinaryCookies(std::string_view bytes) {
    if (bytes.size() < 8 || bytes.substr(0, 4) != kMagic) {
        return std::nullopt;
    }
    const std::uint32_t pages = bigEndian(bytes, 4);
    if (pages > (bytes.size() - 8) / 4) {
        return std::nullopt;
    }
    std::size_t at = 8 + 4 * std::size_t{pages};
    BinaryCookies store;
    for (std::uint32_t i = 0; i < pages; ++i) {
        const std::uint32_t size = bigEndian(bytes, 8 + 4 * std::size_t{i});
        if (size > bytes.size() - at || !parsePage(bytes.substr(at, size), store.cookies)) {
            return std::nullopt;
        }
        at += size;
    }
    if (bytes.size() - at < 4) {
        return std::nullopt; // no checksum
    }
    store.trailer = std::string(bytes.substr(at + 4));
    return store;
}

std::string serializeBinaryCookies(const BinaryCookies& store) {
    std::string page;
    if (!store.cookies.empty()) {
        putBigEndian(page, kPageHeader);
        putLittleEndian(page, static_cast<std::uint32_t>(store.cookies.size()));
        std::size_t offset = 8 + 4 * store.cookies.size() + 4;
        for (const StoredCookie& cookie : store.cookies) {
            putLittleEndian(page, static_cast<std::uint32_t>(offset));
            offset += cookie.record.size();
        }
        putLittleEndian(page, 0);
        for (const StoredCookie& cookie : store.cookies) {
            page += cookie.record;
        }
    }
    std::string out(kMagic);
    putBigEndian(out, page.empty() ? 0 : 1);
    if (!page.empty()) {
        putBigEndian(out, static_cast<std::uint32_t>(page.size()));
    }
    out += page;
    std::uint32_t checksum = 0;
    for (std::size_t i = 0; i < page.size(); i += 4) {
        checksum += static_cast<unsigned char>(page[i]);
    }
    putBigEndian(out, checksum);
    out += store.trailer;
    return out;
}

FileCookieStore::FileCookieStore(const FileSystem& fs) : m_fs(fs) {}

std::optional<std::string> FileCookieStore::storePath() const {
    const std::optional<std::string> home = m_fs.homeDirectory();
    if (!home) {
        return std::nullopt;
    }
    const std::string trimmed = withoutTrailingSlashes(*home);
    if (trimmed.empty() || trimmed.front() != '/' || trimmed == "/") {
        return std::nullopt;
    }
    return trimmed + "/Library/Cookies/Cookies.binarycookies";
}

std::vector<Cookie> FileCookieStore::cookies() {
    std::vector<Cookie> found;
    const std::optional<std::string> path = storePath();
    const std::optional<std::string> bytes =
        path ? readRegularFile(*path, kMaxFileSize) : std::nullopt;
    const std::optional<BinaryCookies> store = bytes ? parseBinaryCookies(*bytes) : std::nullopt;
    if (store) {
        for (const StoredCookie& stored : store->cookies) {
            found.push_back(stored.cookie);
        }
    }
    return found;
}

bool FileCookieStore::isKnownEmpty() {
    const std::optional<std::string> path = storePath();
    struct stat info {};
    if (!path || (lstat(path->c_str(), &info) != 0 && errno == ENOENT)) {
        return true;
    }
    const std::optional<std::string> bytes = readRegularFile(*path, kMaxFileSize);
    if (!bytes) {
        return false;
    }
    const std::optional<BinaryCookies> store = parseBinaryCookies(*bytes);
    return bytes->empty() || (store && store->cookies.empty());
}

std::string FileCookieStore::location() const {
    return storePath().value_or(CookieStore::location());
}

void FileCookieStore::deleteCookie(const Cookie& cookie) {
    deleteCookies({cookie});
}

void FileCookieStore::deleteCookies(const std::vector<Cookie>& doomed) {
    const std::optional<std::string> path = storePath();
    const std::optional<std::string> bytes =
        path ? readRegularFile(*path, kMaxFileSize) : std::nullopt;
    std::optional<BinaryCookies> store = bytes ? parseBinaryCookies(*bytes) : std::nullopt;
    if (!store) {
        return;
    }
    const auto key = [](const Cookie& cookie) {
        return cookie.domain + '\0' + cookie.name + '\0' + cookie.path;
    };
    std::unordered_set<std::string> keys;
    for (const Cookie& cookie : doomed) {
        keys.insert(key(cookie));
    }
    const std::size_t before = store->cookies.size();
    std::erase_if(store->cookies,
                  [&](const StoredCookie& stored) { return keys.contains(key(stored.cookie)); });
    if (store->cookies.size() != before) {
        replaceFile(*path, serializeBinaryCookies(*store));
    }
}

} // namespace corvane
