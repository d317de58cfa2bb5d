#include "platform/host/FileCookieStore.h"

#include "platform/host/HostFileSystem.h"
#include "support/TempHome.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

// The file is built here byte by byte, independently of the store's own writer.
std::string be32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}
std::string le32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

std::string record(const std::string& domain, const std::string& name, const std::string& path,
                   const std::string& value) {
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

std::string page(const std::vector<std::string>& records) {
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

std::uint32_t checksum(const std::string& page) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < page.size(); i += 4) {
        sum += static_cast<unsigned char>(page[i]);
    }
    return sum;
}

const std::string kTrailer = std::string("\x07\x17\x20\x05\x00\x00\x00\x04", 8) + "PLST";

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
    return f + be32(sum) + kTrailer;
}

class CookieStoreFile : public ::testing::Test {
protected:
    std::string storePath() const { return home.library() + "/Cookies/Cookies.binarycookies"; }
    void write(const std::string& bytes) const {
        home.file("Library/Cookies/Cookies.binarycookies", bytes);
    }
    std::string read() const {
        std::ifstream in(storePath(), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    TempHome home;
    HostFileSystem fileSystem;
    FileCookieStore store{fileSystem};
    const std::string a = record(".example.org", "id", "/", "abc");
    const std::string b = record("news.example.com", "session", "/a", "xyz");
    const std::string c = record("news.example.com", "session", "/b", "");
};

TEST_F(CookieStoreFile, ListsEveryCookieOfEveryPage) {
    write(cookieFile({page({a, b}), page({c})}));
    EXPECT_EQ(store.cookies(), (std::vector<Cookie>{{".example.org", "id", "/"},
                                                    {"news.example.com", "session", "/a"},
                                                    {"news.example.com", "session", "/b"}}));
}

TEST_F(CookieStoreFile, DeletingOneCookieKeepsTheOthersByteForByte) {
    write(cookieFile({page({a, b}), page({c})}));
    chmod(storePath().c_str(), 0600);

    store.deleteCookie({"news.example.com", "session", "/a"});

    EXPECT_EQ(read(), cookieFile({page({a, c})}));
    EXPECT_EQ(store.cookies(), (std::vector<Cookie>{{".example.org", "id", "/"},
                                                    {"news.example.com", "session", "/b"}}));
    struct stat info {};
    ASSERT_EQ(stat(storePath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(home.library() + "/Cookies"),
                            fs::directory_iterator()),
              1);
}

TEST_F(CookieStoreFile, DeletingEveryCookieLeavesAnEmptyStoreNotAMissingOne) {
    write(cookieFile({page({a, b}), page({c})}));
    EXPECT_FALSE(store.isKnownEmpty());
    store.deleteCookies(store.cookies());
    EXPECT_EQ(read(), cookieFile({}));
    EXPECT_TRUE(store.cookies().empty());
    EXPECT_TRUE(store.isKnownEmpty());
    const auto parsed = parseBinaryCookies(read());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->trailer, kTrailer);
}

TEST_F(CookieStoreFile, MalformedFilesHoldNoCookiesAndAreNeverRewritten) {
    const std::string good = cookieFile({page({a, b})});
    std::string hugeRecord = page({a});
    hugeRecord.replace(16, 4, le32(0x7fffffff)); // the record's size
    std::string nameOutside = page({a});
    nameOutside.replace(16 + 20, 4, le32(0x7fffffff)); // its name offset
    std::string noTerminator = page({a});
    noTerminator.back() = 'x'; // the value runs to the end of the record without a NUL
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"empty", ""},
        {"wrong magic", "kooc" + good.substr(4)},
        {"page count past the end", "cook" + be32(0xffffffff)},
        {"page size past the end", "cook" + be32(1) + be32(0x10000) + page({a})},
        {"bad page header", cookieFile({be32(0x200) + page({a}).substr(4)})},
        {"cookie count past the page", cookieFile({be32(0x100) + le32(0x40000000)})},
        {"record size past the page", cookieFile({hugeRecord})},
        {"name offset past the record", cookieFile({nameOutside})},
        {"text without terminator", cookieFile({noTerminator})},
        {"no checksum", good.substr(0, good.size() - kTrailer.size() - 4)},
    };
    for (const auto& [what, bytes] : rows) {
        write(bytes);
        EXPECT_TRUE(store.cookies().empty()) << what;
        store.deleteCookies({{".example.org", "id", "/"}});
        EXPECT_EQ(read(), bytes) << what;
        // What cannot be read may still hold cookies; only an empty file surely holds none.
        EXPECT_EQ(store.isKnownEmpty(), bytes.empty()) << what;
    }
}

TEST_F(CookieStoreFile, EveryTruncationIsReadSafely) {
    const std::string good = cookieFile({page({a, b}), page({c})});
    for (std::size_t size = 0; size < good.size(); ++size) {
        const auto parsed = parseBinaryCookies(std::string_view(good).substr(0, size));
        // Cutting into the pages loses the checksum at least; cutting the trailer keeps them all.
        if (parsed) {
            EXPECT_EQ(parsed->cookies.size(), 3u) << size;
        }
    }
}

TEST_F(CookieStoreFile, OnlyARegularFileIsReadOrWritten) {
    home.folder("Library/Cookies");
    ASSERT_EQ(mkfifo(storePath().c_str(), 0600), 0);
    EXPECT_TRUE(store.cookies().empty()); // must not block on the pipe
    EXPECT_FALSE(store.isKnownEmpty());
    fs::remove(storePath());

    const std::string elsewhere = home.path() + "/elsewhere.binarycookies";
    std::ofstream(elsewhere, std::ios::binary) << cookieFile({page({a})});
    fs::create_symlink(elsewhere, storePath());
    EXPECT_TRUE(store.cookies().empty());
    store.deleteCookies({{".example.org", "id", "/"}});
    EXPECT_EQ(fs::file_size(elsewhere), cookieFile({page({a})}).size());
    fs::remove(storePath());

    EXPECT_TRUE(store.cookies().empty()); // missing
    EXPECT_TRUE(store.isKnownEmpty());
    setenv("HOME", "/", 1);
    EXPECT_FALSE(store.storePath());
}

} // namespace
} // namespace corvane::testing
