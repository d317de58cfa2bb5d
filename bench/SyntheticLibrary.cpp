#include "SyntheticLibrary.h"

#include "core/analysis/Ownership.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <stdexcept>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace corvane::bench {

namespace {

constexpr std::array kVendors = {
    "apple",       "google",      "microsoft",    "adobe",      "mozilla",  "jetbrains",
    "spotify",     "getdropbox",  "tinyspeck",    "skype",      "videolan", "omnigroup",
    "panic",       "sublimetext", "agilebits",    "barebones",  "brave",    "docker",
    "postmanlabs", "figma",       "culturedcode", "macromates", "tapbots",  "iterm2"};
constexpr std::array kApps = {
    "Word",  "Excel",   "Chrome",  "Firefox",  "Photoshop", "Lightroom", "Terminal",
    "Mail",  "Notes",   "Preview", "Xcode",    "Music",     "Calendar",  "Keynote",
    "Pages", "Numbers", "Slack",   "Spotify",  "Dropbox",   "VLC",       "Transmit",
    "Nova",  "BBEdit",  "Things3", "Tweetbot", "Figma",     "Docker",    "Postman"};
constexpr std::array kSuffixes = {"",        ".Helper",    ".Agent", ".LoginItem", ".XPCService",
                                  "Updater", ".Extension", ".Widget"};
constexpr std::string_view kContent =
    "bplist00\xd1\x01\x02WVersion\x10\x01\x08\x0b\x13\x00\x00\x00\x00\x00\x00\x01\x01";

class Builder {
public:
    Builder(SyntheticLibrary& out, const LibraryShape& shape)
        : m_out(out), m_shape(shape), m_random(shape.seed) {}

    void makeFolder(const std::string& path) {
        if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
            throw std::runtime_error("cannot create " + path);
        }
    }

    void writeFile(const std::string& path) {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || write(fd, kContent.data(), kContent.size()) < 0) {
            throw std::runtime_error("cannot write " + path);
        }
        close(fd);
    }

    // An entry beneath Preferences or Saved Application State (`base`), within the budget.
    bool walked(const std::string& base, const std::string& relative, bool folder,
                std::vector<std::string>& matches) {
        if (m_out.walkedEntries >= m_budget) {
            return false;
        }
        const std::string path = base + "/" + relative;
        folder ? makeFolder(path) : writeFile(path);
        ++m_out.walkedEntries;
        if (belongsToTarget(relative, m_shape.identifier)) {
            matches.push_back(path);
        }
        return true;
    }

    bool cached(const std::string& base, const std::string& relative, bool folder) {
        if (m_out.cachesEntries >= m_shape.cachesEntries) {
            return false;
        }
        const std::string path = base + "/" + relative;
        folder ? makeFolder(path) : writeFile(path);
        ++m_out.cachesEntries;
        if (belongsToTarget(relative, m_shape.identifier, LetterCase::Ignored)) {
            m_out.cacheMatches.push_back(path);
        }
        return true;
    }

    std::string uuid() {
        static constexpr char kHex[] = "0123456789ABCDEF";
        std::string text;
        for (int group : {8, 4, 4, 4, 12}) {
            if (!text.empty()) {
                text += '-';
            }
            for (int i = 0; i < group; ++i) {
                text += kHex[m_random() % 16];
            }
        }
        return text;
    }

    std::string nextIdentifier() {
        const std::size_t n = m_serial++;
        const std::size_t combos = kVendors.size() * kApps.size();
        const std::size_t suffix = (n / combos) % kSuffixes.size();
        std::string id = std::string("com.") + kVendors[n % kVendors.size()] + "." +
                         kApps[(n / kVendors.size()) % kApps.size()] + kSuffixes[suffix];
        if (const std::size_t round = n / (combos * kSuffixes.size()); round > 0) {
            id += std::to_string(round + 1);
        }
        return id;
    }

    // One application's preference file, often a ByHost file, sometimes a folder of its own,
    // and often a saved-state folder with its window files.
    void application(const std::string& id) {
        const std::string& prefs = m_prefs;
        std::vector<std::string>& pm = m_out.preferenceMatches;
        std::vector<std::string>& sm = m_out.stateMatches;
        walked(prefs, id + ".plist", false, pm);
        if (m_random() % 10 < 3) {
            walked(prefs, "ByHost/" + id + "." + uuid() + ".plist", false, pm);
        }
        if (m_random() % 10 == 0 && walked(prefs, id, true, pm)) {
            walked(prefs, id + "/Settings.plist", false, pm);
            if (walked(prefs, id + "/State", true, pm)) {
                walked(prefs, id + "/State/recent.plist", false, pm);
            }
        }
        if (m_random() % 10 < 4 && walked(m_state, id + ".savedState", true, sm)) {
            const std::string folder = id + ".savedState/";
            walked(m_state, folder + "data.data", false, sm);
            walked(m_state, folder + "windows.plist", false, sm);
            walked(m_state, folder + "restorecount.plist", false, sm);
            const std::size_t windows = 1 + m_random() % 6;
            for (std::size_t w = 1; w <= windows; ++w) {
                walked(m_state, folder + "window_" + std::to_string(w) + ".data", false, sm);
            }
        }
    }

    // The target's entries, a near-miss in letter case and a helper whose identifier extends the
    // target's; neither of those two belongs to it.
    void target() {
        const std::string& id = m_shape.identifier;
        std::vector<std::string>& pm = m_out.preferenceMatches;
        std::vector<std::string>& sm = m_out.stateMatches;
        std::string lower = id;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        walked(m_prefs, id + "Helper.plist", false, pm);
        if (lower != id) {
            walked(m_prefs, lower + ".plist", false, pm);
        }
        if (m_shape.targetByHostFiles > 0) {
            for (std::uint32_t i = 0; i < m_shape.targetByHostFiles; ++i) {
                // Times an odd number, modulo 2^32: distinct for every i, yet not in order.
                char host[16];
                std::snprintf(host, sizeof host, "%08X", i * 2654435761U);
                walked(m_prefs, "ByHost/" + id + "." + host + ".plist", false, pm);
            }
            return;
        }
        walked(m_prefs, id + ".plist", false, pm);
        walked(m_prefs, "ByHost/" + id + "." + uuid() + ".plist", false, pm);
        walked(m_prefs, id, true, pm);
        walked(m_prefs, id + "/Accounts.plist", false, pm);
        walked(m_prefs, id + "/Sync.plist", false, pm);
        walked(m_state, id + ".savedState", true, sm);
        for (std::size_t w = 1; w <= m_shape.targetStateFiles; ++w) {
            walked(m_state, id + ".savedState/window_" + std::to_string(w) + ".data", false, sm);
        }
    }

    static constexpr std::size_t kTargetReserve = 8;

    void preferencesAndState() {
        m_prefs = m_out.library + "/Preferences";
        m_state = m_out.library + "/Saved Application State";
        makeFolder(m_prefs);
        makeFolder(m_state);
        makeFolder(m_prefs + "/ByHost");
        const std::size_t reserve =
            kTargetReserve + m_shape.targetStateFiles + m_shape.targetByHostFiles;
        const std::size_t background = m_shape.entries > reserve ? m_shape.entries - reserve : 0;
        m_budget = background / 2;
        while (m_out.walkedEntries < m_budget) {
            application(nextIdentifier());
        }
        m_budget = m_out.walkedEntries + reserve;
        target();
        m_budget = std::max(m_shape.entries, m_out.walkedEntries);
        while (m_out.walkedEntries < m_budget) {
            application(nextIdentifier());
        }
    }

    // Caches of many applications, Safari's the largest; cookie files beside them.
    void cachesAndCookies() {
        const std::string caches = m_out.library + "/Caches";
        const std::string cookies = m_out.library + "/Cookies";
        makeFolder(caches);
        makeFolder(cookies);
        const std::string& id = m_shape.identifier;
        const std::size_t own = m_shape.cachesEntries / 4;
        if (cached(caches, id, true) && cached(caches, id + "/fsCachedData", true)) {
            cached(caches, id + "/Cache.db", false);
            cached(caches, id + "/Cache.db-wal", false);
            for (std::size_t i = 0; i + 4 < own; ++i) {
                cached(caches, id + "/fsCachedData/" + uuid(), false);
            }
        }
        cached(caches, id + ".SafeBrowsing", true);
        cached(caches, id + ".SafeBrowsing/Rapid", false);
        if (cached(caches, "Metadata", true) && cached(caches, "Metadata/Safari", true)) {
            cached(caches, "Metadata/Safari/History", true);
        }
        std::size_t serial = 0;
        while (m_out.cachesEntries < m_shape.cachesEntries) {
            const std::string app = nextIdentifier();
            if (!cached(caches, app, true)) {
                break;
            }
            cached(caches, app + "/Cache.db", false);
            if (cached(caches, app + "/fsCachedData", true)) {
                const std::size_t files = 2 + m_random() % 20;
                for (std::size_t i = 0; i < files; ++i) {
                    cached(caches, app + "/fsCachedData/" + uuid(), false);
                }
            }
            if (serial++ % 8 == 0) {
                writeFile(cookies + "/" + app + ".binarycookies");
            }
        }
        writeFile(cookies + "/" + id + ".binarycookies");
        m_out.cacheMatches.push_back(cookies + "/" + id + ".binarycookies");
    }

    void safari() {
        const std::string folder = m_out.library + "/Safari";
        makeFolder(folder);
        for (const char* name : {"Bookmarks.plist", "History.db", "History.db-wal",
                                 "LastSession.plist", "TopSites.plist", "Downloads.plist"}) {
            writeFile(folder + "/" + name);
        }
        makeFolder(folder + "/Extensions");
        makeFolder(folder + "/Favicon Cache");
        for (std::size_t i = 8; i < m_shape.safariEntries; ++i) {
            writeFile(folder + "/Favicon Cache/" + uuid());
        }
    }

private:
    SyntheticLibrary& m_out;
    const LibraryShape& m_shape;
    std::mt19937 m_random;
    std::string m_prefs;
    std::string m_state;
    std::size_t m_budget = 0;
    std::size_t m_serial = 0;
};

} // namespace

SyntheticLibrary SyntheticLibrary::build(const std::string& home, const LibraryShape& shape) {
    SyntheticLibrary out;
    out.home = home;
    out.library = home + "/Library";
    Builder builder(out, shape);
    builder.makeFolder(home);
    builder.makeFolder(out.library);
    builder.preferencesAndState();
    if (shape.cachesEntries > 0) {
        builder.cachesAndCookies();
    }
    if (shape.safariEntries > 0) {
        builder.safari();
    }
    return out;
}

std::vector<std::string> SyntheticLibrary::topmost(const std::vector<std::string>& paths) {
    const std::unordered_set<std::string> all(paths.begin(), paths.end());
    std::vector<std::string> top;
    for (const std::string& path : paths) {
        bool beneath = false;
        for (std::size_t slash = path.find('/', 1); slash != std::string::npos && !beneath;
             slash = path.find('/', slash + 1)) {
            beneath = all.count(path.substr(0, slash)) > 0;
        }
        if (!beneath) {
            top.push_back(path);
        }
    }
    return top;
}

} // namespace corvane::bench
