#include "fix/ResetRecord.h"

#include "base/RegularFile.h"
#include "base/UserFolders.h"
#include "base/Utf16.h"

#include <algorithm>
#include <ctime>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <unistd.h>

namespace corvane {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr int kFormat = 1;
constexpr const char* kExtension = ".json";
constexpr std::size_t kLargestRecord = std::size_t{4} * 1024 * 1024;

// File names need not be UTF-8 on every system; a path that is not is kept as its bytes in hex.
json pathJson(const std::string& path) {
    if (isValidUtf8(path)) {
        return path;
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : path) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 0xf];
    }
    return {{"hex", hex}};
}

std::string pathFrom(const json& value) {
    if (value.is_string()) {
        return value.get<std::string>();
    }
    const std::string hex = value.at("hex").get<std::string>();
    const auto digit = [](char c) -> int {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    std::string path;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int high = digit(hex[i]);
        const int low = digit(hex[i + 1]);
        if (high < 0 || low < 0) {
            throw std::invalid_argument("not a path");
        }
        path += static_cast<char>(high * 16 + low);
    }
    if (hex.size() % 2 != 0) {
        throw std::invalid_argument("not a path");
    }
    return path;
}

json stampJson(const EntryStamp& stamp) {
    return {{"device", stamp.device},
            {"inode", stamp.inode},
            {"size", stamp.size},
            {"modifiedNanoseconds", stamp.modifiedNanoseconds}};
}

EntryStamp stampFrom(const json& value) {
    return {value.at("device").get<std::uint64_t>(), value.at("inode").get<std::uint64_t>(),
            value.at("size").get<std::uint64_t>(),
            value.at("modifiedNanoseconds").get<std::int64_t>()};
}

// A record names itself by the UTC time of its reset and a counter: "20261207T224100Z-00". Names
// sort in the order the records were made.
bool isRecordId(const std::string& id) {
    if (id.size() != 19 || id[8] != 'T' || id[15] != 'Z' || id[16] != '-') {
        return false;
    }
    for (std::size_t i = 0; i < id.size(); ++i) {
        if (i != 8 && i != 15 && i != 16 && (id[i] < '0' || id[i] > '9')) {
            return false;
        }
    }
    return true;
}

std::string idStem(std::int64_t time) {
    const std::time_t seconds = static_cast<std::time_t>(time);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
    return text;
}

} // namespace

std::string resetRecordJson(const ResetRecord& record) {
    json moved = json::array();
    for (const TrashedEntry& entry : record.moved) {
        json item = {{"original", pathJson(entry.original)}, {"trashed", pathJson(entry.trashed)}};
        if (entry.leftInPlace) {
            item["leftInPlace"] = stampJson(*entry.leftInPlace);
        }
        moved.push_back(std::move(item));
    }
    json removed = json::array();
    for (const std::string& path : record.removed) {
        removed.push_back(pathJson(path));
    }
    const json document = {{"format", kFormat},
                           {"identifier", pathJson(record.identifier)},
                           {"application",
                            {{"name", pathJson(record.applicationName)},
                             {"path", pathJson(record.applicationPath)},
                             {"system", record.systemTarget}}},
                           {"time", record.time},
                           {"moved", moved},
                           {"removed", removed}};
    return document.dump(2) + "\n";
}

std::optional<ResetRecord> parseResetRecord(std::string_view text) {
    const json document = json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        return std::nullopt;
    }
    try {
        if (document.at("format").get<int>() != kFormat) {
            return std::nullopt;
        }
        ResetRecord record;
        record.identifier = pathFrom(document.at("identifier"));
        const json& application = document.at("application");
        record.applicationName = pathFrom(application.at("name"));
        record.applicationPath = pathFrom(application.at("path"));
        record.systemTarget = application.at("system").get<bool>();
        record.time = document.at("time").get<std::int64_t>();
        if (!document.at("moved").is_array() || !document.at("removed").is_array()) {
            return std::nullopt;
        }
        for (const json& item : document.at("moved")) {
            TrashedEntry entry{pathFrom(item.at("original")), pathFrom(item.at("trashed")),
                               std::nullopt};
            if (item.contains("leftInPlace")) {
                entry.leftInPlace = stampFrom(item.at("leftInPlace"));
            }
            record.moved.push_back(std::move(entry));
        }
        for (const json& item : document.at("removed")) {
            record.removed.push_back(pathFrom(item));
        }
        return record;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string ResetRecords::folderIn(const std::string& library) {
    return appendPathComponent(library, "Application Support/Corvane/Resets");
}

std::string ResetRecords::fileFor(const std::string& id) const {
    return appendPathComponent(m_folder, id + kExtension);
}

std::vector<std::string> ResetRecords::ids() const {
    std::vector<std::string> found;
    DIR* folder = opendir(m_folder.c_str());
    if (!folder) {
        return found;
    }
    const std::string_view extension = kExtension;
    while (const dirent* entry = readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (name.size() > extension.size() && name.ends_with(extension)) {
            std::string id(name.substr(0, name.size() - extension.size()));
            if (isRecordId(id)) {
                found.push_back(std::move(id));
            }
        }
    }
    closedir(folder);
    std::sort(found.begin(), found.end());
    return found;
}

bool ResetRecords::write(const std::string& id, const ResetRecord& record) const {
    // Written beside its place and renamed into it, so a reader finds the whole record or none.
    const std::string temporary =
        appendPathComponent(m_folder, "." + id + ".tmp-" + std::to_string(getpid()));
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << resetRecordJson(record);
        out.flush();
        if (!out) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    fs::rename(temporary, fileFor(id), error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

bool ResetRecords::add(ResetRecord& record, std::size_t kept) {
    std::error_code error;
    fs::create_directories(m_folder, error);
    const std::string stem = idStem(record.time);
    std::string id;
    for (int counter = 0; counter < 100 && id.empty(); ++counter) {
        const std::string candidate = stem + (counter < 10 ? "-0" : "-") + std::to_string(counter);
        if (!fs::exists(fs::symlink_status(fileFor(candidate), error))) {
            id = candidate;
        }
    }
    if (id.empty() || !write(id, record)) {
        return false;
    }
    record.id = id;
    std::vector<std::string> all = ids();
    // Later records sort last; the oldest go, their Trash items stay where they are.
    for (std::size_t i = 0; i + kept < all.size(); ++i) {
        if (all[i] != id) {
            remove(all[i]);
        }
    }
    return true;
}

bool ResetRecords::update(const ResetRecord& record) {
    return isRecordId(record.id) && write(record.id, record);
}

void ResetRecords::remove(const std::string& id) {
    if (isRecordId(id)) {
        std::error_code ignored;
        fs::remove(fileFor(id), ignored);
    }
}

std::optional<ResetRecord>
ResetRecords::latest(const std::optional<std::string>& identifier) const {
    const std::vector<std::string> all = ids();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        const std::optional<std::string> text = readRegularFile(fileFor(*it), kLargestRecord);
        std::optional<ResetRecord> record =
            text ? parseResetRecord(*text) : std::optional<ResetRecord>();
        if (record && (!identifier || record->identifier == *identifier)) {
            record->id = *it;
            return record;
        }
    }
    return std::nullopt;
}

} // namespace corvane
