#include "host/posix/FileCookieStore.h"

#include "host/posix/HostFileSystem.h"
#include "support/CookieFiles.h"
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
    const std::string a = cookieRecord(".example.org", "id", "/", "abc");
    const std::string b = cookieRecord("news.example.com", "session", "/a", "xyz");
    const std::string c = cookieRecord("news.example.com", "session", "/b", "");
};

TEST_F(CookieStoreFile, ListsEveryCookieOfEveryPage) {
    write(cookieFile({cookiePage({a, b}), cookiePage({c})}));
    EXPECT_EQ(store.cookies(), (std::vector<Cookie>{{".example.org", "id", "/"},
                                                    {"news.example.com", "session", "/a"},
                                                    {"news.example.com", "session", "/b"}}));
}

TEST_F(CookieStoreFile, DeletingOneCookieKeepsTheOthersByteForByte) {
    write(cookieFile({cookiePage({a, b}), cookiePage({c})}));
    chmod(storePath().c_str(), 0600);

    store.deleteCookie({"news.example.com", "session", "/a"});

    EXPECT_EQ(read(), cookieFile({cookiePage({a, c})}));
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
    write(cookieFile({cookiePage({a, b}), cookiePage({c})}));
    EXPECT_FALSE(store.isKnownEmpty());
    store.deleteCookies(store.cookies());
    EXPECT_EQ(read(), cookieFile({}));
    EXPECT_TRUE(store.cookies().empty());
    EXPECT_TRUE(store.isKnownEmpty());
    const auto parsed = parseBinaryCookies(read());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->trailer, kCookieTrailer);
}

TEST_F(CookieStoreFile, MalformedFilesHoldNoCookiesAndAreNeverRewritten) {
    const std::string good = cookieFile({cookiePage({a, b})});
    std::string hugeRecord = cookiePage({a});
    hugeRecord.replace(16, 4, le32(0x7fffffff)); // the record's size
    std::string nameOutside = cookiePage({a});
    nameOutside.replace(16 + 20, 4, le32(0x7fffffff)); // its name offset
    std::string noTerminator = cookiePage({a});
    noTerminator.back() = 'x'; // the value runs to the end of the record without a NUL
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"empty", ""},
        {"wrong magic", "kooc" + good.substr(4)},
        {"page count past the end", "cook" + be32(0xffffffff)},
        {"page size past the end", "cook" + be32(1) + be32(0x10000) + cookiePage({a})},
        {"bad page header", cookieFile({be32(0x200) + cookiePage({a}).substr(4)})},
        {"cookie count past the page", cookieFile({be32(0x100) + le32(0x40000000)})},
        {"record size past the page", cookieFile({hugeRecord})},
        {"name offset past the record", cookieFile({nameOutside})},
        {"text without terminator", cookieFile({noTerminator})},
        {"no checksum", good.substr(0, good.size() - kCookieTrailer.size() - 4)},
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
    const std::string good = cookieFile({cookiePage({a, b}), cookiePage({c})});
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
    std::ofstream(elsewhere, std::ios::binary) << cookieFile({cookiePage({a})});
    fs::create_symlink(elsewhere, storePath());
    EXPECT_TRUE(store.cookies().empty());
    store.deleteCookies({{".example.org", "id", "/"}});
    EXPECT_EQ(fs::file_size(elsewhere), cookieFile({cookiePage({a})}).size());
    fs::remove(storePath());

    EXPECT_TRUE(store.cookies().empty()); // missing
    EXPECT_TRUE(store.isKnownEmpty());
    setenv("HOME", "/", 1);
    EXPECT_FALSE(store.storePath());
}

} // namespace
} // namespace corvane::testing
