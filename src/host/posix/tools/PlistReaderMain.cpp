// corvane-plist-reader FILE
//
// Parses one Info.plist (XML or binary) and prints the few values Corvane uses. It runs as a
// process of its own because libplist recurses without limit while parsing and freeing: a hostile
// file may crash or exhaust this process, never the program that asked.
//
// Output, on success only:
//   corvane-plist-reader 1
//   <key>\t<value>        for each of the known keys whose value is a usable string
//   end
// Exit status 0 with that output; anything else means the file gave no values.

#include "PlistReaderProtocol.h"
#include "PlistReaderValues.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define CORVANE_READER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVANE_READER_ASAN 1
#endif
#endif

#ifdef CORVANE_READER_ASAN
// The address limit below cannot be used with the sanitizer's shadow memory; bound its heap
// instead.
extern "C" const char* __asan_default_options() {
    return "malloc_limit_mb=256:allocator_may_return_null=1:detect_leaks=0";
}
#endif

namespace {

using corvane::plistreader::kMaxFileSize;

enum Exit {
    Ok = 0,
    Usage = 2,
    Unreadable = corvane::plistreader::kExitUnreadable,
    NotAPlist = corvane::plistreader::kExitNotAPlist
};

// A binary plist can reference one object from many places, and libplist copies it each time:
// a small file can ask for gigabytes. Bound what the parse may take.
void limitResources() {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const rlimit cpu{2, 3};
    setrlimit(RLIMIT_CPU, &cpu);
#ifndef CORVANE_READER_ASAN
    const rlimit memory{512ul << 20, 512ul << 20};
    setrlimit(RLIMIT_AS, &memory);
#endif
}

// Reads the whole file if it is a regular file of at most kMaxFileSize bytes. Opened without
// blocking so that a pipe or device put in its place cannot stall the read.
bool readSmallRegularFile(const char* path, std::string& data) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size > static_cast<off_t>(kMaxFileSize)) {
        close(fd);
        return false;
    }
    // Read one byte more than allowed, so that a file that grew after fstat is still refused.
    data.resize(kMaxFileSize + 1);
    std::size_t total = 0;
    for (;;) {
        const ssize_t got = read(fd, data.data() + total, data.size() - total);
        if (got < 0) {
            close(fd);
            return false;
        }
        if (got == 0) {
            break;
        }
        total += static_cast<std::size_t>(got);
        if (total > kMaxFileSize) {
            close(fd);
            return false;
        }
    }
    close(fd);
    data.resize(total);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return Usage;
    }
    limitResources();

    std::string data;
    if (!readSmallRegularFile(argv[1], data) || data.empty()) {
        return Unreadable;
    }
    plist_t root = nullptr;
    const std::optional<std::string> out = corvane::plistreader::readerOutput(data, root);
    if (!out) {
        return NotAPlist;
    }
    if (std::fwrite(out->data(), 1, out->size(), stdout) != out->size() ||
        std::fflush(stdout) != 0) {
        return Unreadable;
    }
    // The tree is not freed: libplist frees recursively, and the process ends here anyway.
    _exit(Ok);
}
