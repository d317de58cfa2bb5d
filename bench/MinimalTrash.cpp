// The least a correct move of separate entries to a freedesktop Trash, and a correct putting
// back, can do: the yardstick the benchmark holds Corvane's reset and restore against.
//
//   corvane-bench-minimal trash TRASH JOURNAL LIST   moves every path LIST names (one a line)
//   corvane-bench-minimal restore TRASH JOURNAL      puts back every entry JOURNAL lists
//   corvane-bench-minimal remove LIST THREADS        unlinks every path LIST names, and nothing
//                                                    else, on THREADS threads at once
//   corvane-bench-minimal peak FILE PROGRAM ARGS...  runs PROGRAM as its child and writes the
//                                                    child's peak resident KiB to FILE
//
// Moving an entry: an info file made with O_EXCL under a name still free (Path percent-encoded,
// DeletionDate in local time), the entry renamed into TRASH/files without replacing anything, one
// stat of it there (what a restore needs to know it is still the same item), and a journal line
// by write(2); the journal is flushed to disk every 256 lines and at the end. Putting back: the
// info file read and compared byte for byte with what was written, one stat compared with the
// journal's, the rename back without replacing anything, the info file removed; the journal goes
// when every entry is back. Nothing is held per entry: both read their input a line at a time.
// Prints "trashed N failed M", "restored N refused M" or "removed N failed M"; exits 1 when
// anything failed.

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kLinesPerFlush = 256;
constexpr const char* kHeader = "minimal-trash-journal 1\n";

// Every byte but the unreserved ones and '/' as %XX, as the Trash's Path key wants it; the
// journal uses the same form so that no name can break its tab-separated lines.
std::string percentEncoded(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
            (byte >= '0' && byte <= '9') || byte == '-' || byte == '_' || byte == '.' ||
            byte == '~' || byte == '/') {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 15]);
        }
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool percentDecoded(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size()) {
            return false;
        }
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0) {
            return false;
        }
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return true;
}

// Local time to the second, made again only when the second changes.
const std::string& deletionDate() {
    static std::time_t made = -1;
    static std::string text;
    const std::time_t now = std::time(nullptr);
    if (now != made) {
        std::tm local{};
        localtime_r(&now, &local);
        char buffer[32];
        std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", &local);
        text = buffer;
        made = now;
    }
    return text;
}

std::string infoText(std::string_view encodedPath, std::string_view date) {
    std::string text = "[Trash Info]\nPath=";
    text.append(encodedPath);
    text.append("\nDeletionDate=");
    text.append(date);
    text.push_back('\n');
    return text;
}

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t wrote = write(fd, text.data(), text.size());
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return true;
}

int openFolder(const std::string& path) {
    mkdir(path.c_str(), 0700);
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "cannot open %s: %s\n", path.c_str(), std::strerror(errno));
        std::exit(2);
    }
    return fd;
}

struct TrashFolders {
    int files = -1;
    int info = -1;
};

// Makes the Trash and the folders above it that are missing (the data home may not exist yet),
// private to the user as the base-directory rules want them.
TrashFolders openTrash(const std::string& trash) {
    for (std::size_t slash = trash.find('/', 1); slash != std::string::npos;
         slash = trash.find('/', slash + 1)) {
        mkdir(trash.substr(0, slash).c_str(), 0700);
    }
    mkdir(trash.c_str(), 0700);
    return {openFolder(trash + "/files"), openFolder(trash + "/info")};
}

// Moves `original` into the Trash and returns its journal line; empty when it could not be.
std::string trashOne(const TrashFolders& trash, const std::string& original) {
    const std::size_t slash = original.rfind('/');
    std::string base = slash == std::string::npos ? original : original.substr(slash + 1);
    if (base.empty() || original[0] != '/') {
        std::fprintf(stderr, "not an absolute path to an entry: %s\n", original.c_str());
        return {};
    }
    // Room for ".trashinfo" and a number within a name's 255 bytes.
    if (base.size() > 230) {
        base.resize(230);
    }
    const std::string encoded = percentEncoded(original);
    const std::string& date = deletionDate();
    const std::string info = infoText(encoded, date);
    for (int attempt = 1; attempt < 100000; ++attempt) {
        const std::string name = attempt == 1 ? base : base + "." + std::to_string(attempt);
        const std::string infoName = name + ".trashinfo";
        const int fd =
            openat(trash.info, infoName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) {
            continue;
        }
        if (fd < 0) {
            std::fprintf(stderr, "cannot make %s: %s\n", infoName.c_str(), std::strerror(errno));
            return {};
        }
        const bool written = writeAll(fd, info);
        close(fd);
        if (!written) {
            unlinkat(trash.info, infoName.c_str(), 0);
            std::fprintf(stderr, "cannot write %s\n", infoName.c_str());
            return {};
        }
        if (renameat2(AT_FDCWD, original.c_str(), trash.files, name.c_str(), RENAME_NOREPLACE) !=
            0) {
            const int error = errno;
            unlinkat(trash.info, infoName.c_str(), 0);
            if (error == EEXIST) {
                continue;
            }
            std::fprintf(stderr, "cannot move %s: %s\n", original.c_str(), std::strerror(error));
            return {};
        }
        struct stat moved {};
        if (fstatat(trash.files, name.c_str(), &moved, AT_SYMLINK_NOFOLLOW) != 0) {
            std::fprintf(stderr, "moved %s went away\n", original.c_str());
            return {};
        }
        char numbers[128];
        std::snprintf(numbers, sizeof numbers, "\t%llu\t%llu\t%lld\t%lld.%09ld\n",
                      static_cast<unsigned long long>(moved.st_dev),
                      static_cast<unsigned long long>(moved.st_ino),
                      static_cast<long long>(moved.st_size),
                      static_cast<long long>(moved.st_mtim.tv_sec), moved.st_mtim.tv_nsec);
        return percentEncoded(name) + "\t" + encoded + "\t" + date + numbers;
    }
    return {};
}

int trashAll(const std::string& trashPath, const std::string& journalPath,
             const std::string& listPath) {
    const TrashFolders trash = openTrash(trashPath);
    FILE* list = std::fopen(listPath.c_str(), "re");
    const int journal =
        open(journalPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
    if (!list || journal < 0 || !writeAll(journal, kHeader)) {
        std::fprintf(stderr, "cannot read %s or start %s\n", listPath.c_str(), journalPath.c_str());
        return 2;
    }
    long trashed = 0;
    long failed = 0;
    char* line = nullptr;
    std::size_t capacity = 0;
    ssize_t length = 0;
    while ((length = getline(&line, &capacity, list)) > 0) {
        std::string original(line, static_cast<std::size_t>(length));
        if (original.back() == '\n') {
            original.pop_back();
        }
        if (original.empty()) {
            continue;
        }
        const std::string entry = trashOne(trash, original);
        if (entry.empty() || !writeAll(journal, entry)) {
            ++failed;
            continue;
        }
        if (++trashed % kLinesPerFlush == 0) {
            fsync(journal);
        }
    }
    std::free(line);
    std::fclose(list);
    const bool flushed = fsync(journal) == 0;
    close(journal);
    std::printf("trashed %ld failed %ld\n", trashed, failed);
    return failed == 0 && flushed ? 0 : 1;
}

// Splits a journal line (without its newline) at tabs into exactly `count` fields.
bool fields(std::string_view line, std::vector<std::string_view>& out, std::size_t count) {
    out.clear();
    while (out.size() + 1 < count) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos) {
            return false;
        }
        out.push_back(line.substr(0, tab));
        line.remove_prefix(tab + 1);
    }
    out.push_back(line);
    return line.find('\t') == std::string_view::npos;
}

// Puts back one journal entry when its info file and its stat still say it is the item moved.
bool restoreOne(const TrashFolders& trash, std::string_view line) {
    std::vector<std::string_view> part;
    std::string name;
    std::string original;
    if (!fields(line, part, 7) || !percentDecoded(part[0], name) ||
        !percentDecoded(part[1], original)) {
        std::fprintf(stderr, "damaged journal line\n");
        return false;
    }
    const std::string infoName = name + ".trashinfo";
    const std::string expected = infoText(part[1], part[2]);
    const int fd = openat(trash.info, infoName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "no info file for %s\n", name.c_str());
        return false;
    }
    char buffer[8192];
    ssize_t got = 0;
    std::size_t size = 0;
    while (size < sizeof buffer && (got = read(fd, buffer + size, sizeof buffer - size)) != 0) {
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            break;
        }
        size += static_cast<std::size_t>(got);
    }
    close(fd);
    if (std::string_view(buffer, size) != expected) {
        std::fprintf(stderr, "the info file of %s is not the one written\n", name.c_str());
        return false;
    }
    struct stat now {};
    char stamp[64];
    if (fstatat(trash.files, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0) {
        std::fprintf(stderr, "%s is gone from the Trash\n", name.c_str());
        return false;
    }
    std::snprintf(stamp, sizeof stamp, "%lld.%09ld", static_cast<long long>(now.st_mtim.tv_sec),
                  now.st_mtim.tv_nsec);
    // The device number can change with a remount; the rest of the identity cannot.
    if (std::to_string(now.st_ino) != part[4] || std::to_string(now.st_size) != part[5] ||
        part[6] != stamp) {
        std::fprintf(stderr, "%s in the Trash is another item\n", name.c_str());
        return false;
    }
    if (renameat2(trash.files, name.c_str(), AT_FDCWD, original.c_str(), RENAME_NOREPLACE) != 0) {
        std::fprintf(stderr, "cannot put back %s: %s\n", original.c_str(), std::strerror(errno));
        return false;
    }
    unlinkat(trash.info, infoName.c_str(), 0);
    return true;
}

int restoreAll(const std::string& trashPath, const std::string& journalPath) {
    const TrashFolders trash = openTrash(trashPath);
    FILE* journal = std::fopen(journalPath.c_str(), "re");
    if (!journal) {
        std::fprintf(stderr, "cannot read %s\n", journalPath.c_str());
        return 2;
    }
    long restored = 0;
    long refused = 0;
    char* line = nullptr;
    std::size_t capacity = 0;
    ssize_t length = getline(&line, &capacity, journal);
    if (length <= 0 || std::string_view(line, static_cast<std::size_t>(length)) != kHeader) {
        std::fprintf(stderr, "%s is not a journal\n", journalPath.c_str());
        return 2;
    }
    while ((length = getline(&line, &capacity, journal)) > 0) {
        std::string_view text(line, static_cast<std::size_t>(length));
        if (text.back() != '\n') {
            ++refused; // a line cut short by a crash: its entry may not have moved
            continue;
        }
        text.remove_suffix(1);
        ++(restoreOne(trash, text) ? restored : refused);
    }
    std::free(line);
    std::fclose(journal);
    if (refused == 0) {
        unlink(journalPath.c_str());
    }
    std::printf("restored %ld refused %ld\n", restored, refused);
    return refused == 0 ? 0 : 1;
}

} // namespace

// What putting back costs at the least on a file system that makes every unlink wait for the
// device: the unlinks alone, side by side.
int removeAll(const char* list, int threads) {
    std::vector<std::string> paths;
    std::ifstream in(list);
    for (std::string line; std::getline(in, line);) {
        paths.push_back(std::move(line));
    }
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> failed{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < threads; ++i) {
        workers.emplace_back([&] {
            for (std::size_t at = next++; at < paths.size(); at = next++) {
                if (unlink(paths[at].c_str()) != 0) {
                    ++failed;
                }
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    std::printf("removed %zu failed %zu\n", paths.size() - failed, failed.load());
    return failed == 0 ? 0 : 1;
}

// A program started by a large process shares that one's memory until its exec, and Linux
// counts that in the program's peak; forked from this small one, it carries only this one's.
int runMeasured(const char* file, char** argv) {
    const pid_t pid = fork();
    if (pid < 0) {
        return 2;
    }
    if (pid == 0) {
        execv(argv[0], argv);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            return 2;
        }
    }
    FILE* out = std::fopen(file, "w");
    if (!out || std::fprintf(out, "%ld\n", usage.ru_maxrss) < 0 || std::fclose(out) != 0) {
        return 2;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "trash" && argc == 5) {
        return trashAll(argv[2], argv[3], argv[4]);
    }
    if (mode == "restore" && argc == 4) {
        return restoreAll(argv[2], argv[3]);
    }
    if (mode == "peak" && argc >= 4) {
        return runMeasured(argv[2], argv + 3);
    }
    if (mode == "remove" && argc == 4 && std::atoi(argv[3]) > 0) {
        return removeAll(argv[2], std::atoi(argv[3]));
    }
    std::fprintf(stderr,
                 "usage: %s trash TRASH JOURNAL LIST | restore TRASH JOURNAL | remove LIST THREADS "
                 "| peak FILE PROGRAM ARGS...\n",
                 argv[0]);
    return 2;
}
