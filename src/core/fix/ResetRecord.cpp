#include "core/fix/ResetRecord.h"

#include "base/Directory.h"
#include "base/KillPoint.h"
#include "base/Paths.h"
#include "base/RegularFile.h"
#include "base/Text.h"
#include "core/UserFolders.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <concepts>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace corvane {

namespace {

using nlohmann::json;

// Format 3 adds each item's size, modification time and deletion time, and what a record
// replaced; format 4 the folders of the settings database; format 2 records still read.
constexpr int kFormat = 4;
constexpr int kOldestFormat = 2;
// A reset of 100,000 entries writes about 30 MB.
constexpr std::size_t kLargestRecord = std::size_t{256} * 1024 * 1024;

// File names need not be UTF-8 on every system; a path that is not is kept as its bytes in hex.
json pathJson(const std::string& path) {
    if (isValidUtf8(path)) {
        return path;
    }
    std::string hex;
    appendHex(hex, path);
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
    if (hex.size() % 2 != 0) {
        throw std::invalid_argument("not a path");
    }
    std::string path;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int high = digit(hex[i]);
        const int low = digit(hex[i + 1]);
        if (high < 0 || low < 0) {
            throw std::invalid_argument("not a path");
        }
        path += static_cast<char>(high * 16 + low);
    }
    return path;
}

// The same as pathJson(path).dump(), written straight into `out`: the lines of a reset of
// thousands of entries are not worth a JSON object each.
void appendPath(std::string& out, std::string_view path) {
    if (plainJsonPrefix(path) == path.size()) {
        out += '"';
        out.append(path);
        out += '"';
        return;
    }
    if (!isValidUtf8(path)) {
        out += R"({"hex":")";
        appendHex(out, path);
        out += "\"}";
        return;
    }
    out += '"';
    // Runs of bytes that need no escape are copied whole.
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        const bool quoted = c == '"' || c == '\\';
        if (!quoted && static_cast<unsigned char>(c) >= 0x20) {
            continue;
        }
        out.append(path.substr(start, i - start));
        start = i + 1;
        if (quoted) {
            out += '\\';
            out += c;
        } else {
            out += "\\u00";
            appendHex(out, path.substr(i, 1));
        }
    }
    out.append(path.substr(start));
    out += '"';
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

std::string lineOf(const json& value) {
    return value.dump() + "\n";
}

// A record names itself by the UTC time of its reset and a counter: "20261207T224100Z-00". Names
// sort in the order the records were made, and having no "." none can pass for an identifier.
std::string idStem(std::int64_t time) {
    return timeText(time, "%Y%m%dT%H%M%SZ", true);
}

Error systemError(const std::string& what, int code) {
    return Error{
        what + ": " +
            (code == ENOSPC ? std::string("the disk is full") : std::string(std::strerror(code))),
        code};
}

Status writeRecord(int fd, std::string_view bytes) {
    killPoint();
    if (const int error = writeAll(fd, bytes)) {
        return systemError("could not write the reset record", error);
    }
    return Done{};
}

Status syncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return systemError("could not open " + folder, errno);
    }
    killPoint();
    const int synced = fsync(fd);
    const int code = errno;
    close(fd);
    if (synced != 0) {
        return systemError("could not write " + folder + " to the disk", code);
    }
    return Done{};
}

// The record and then its name in the folder flushed to the disk. One after the other: a
// thread to flush them at once costs more to start and join than the second flush takes.
Status syncWithFolder(ResetJournal& journal, const std::string& folder) {
    if (Status recordSynced = journal.sync(); !recordSynced) {
        return recordSynced;
    }
    return syncFolder(folder);
}

json identityJson(const EntryIdentity& identity) {
    json value = {{"device", identity.device}, {"inode", identity.inode}};
    if (identity.size) {
        value["size"] = *identity.size;
    }
    if (identity.modifiedNanoseconds) {
        value["modifiedNanoseconds"] = *identity.modifiedNanoseconds;
    }
    if (!identity.deletionDate.empty()) {
        value["deletionDate"] = identity.deletionDate;
    }
    return value;
}

EntryIdentity identityFrom(const json& value) {
    EntryIdentity identity{value.at("device").get<std::uint64_t>(),
                           value.at("inode").get<std::uint64_t>(), std::nullopt, std::nullopt,
                           value.value("deletionDate", std::string())};
    if (value.contains("size")) {
        identity.size = value.at("size").get<std::uint64_t>();
    }
    if (value.contains("modifiedNanoseconds")) {
        identity.modifiedNanoseconds = value.at("modifiedNanoseconds").get<std::int64_t>();
    }
    return identity;
}

// The record's moved entries as its lines are read. A line about an entry already moved finds it
// by its name in the Trash through an index made at the first such line, since a reset of many
// folders writes one for each; records without them never pay for the index.
class MovedEntries {
public:
    explicit MovedEntries(ResetRecord& record) : m_record(record) {}

    void add(TrashedEntry entry) {
        if (m_indexed) {
            m_at[entry.trashed] = m_record.moved.size();
        }
        m_record.moved.push_back(std::move(entry));
    }

    // The live entry moved under the name, if any: a name is reused only after its entry stayed.
    TrashedEntry* find(const std::string& trashed) {
        index();
        const auto found = m_at.find(trashed);
        return found == m_at.end() ? nullptr : &m_record.moved[found->second];
    }

    void dropStayed(const std::string& trashed) {
        index();
        if (const auto found = m_at.find(trashed); found != m_at.end()) {
            m_stayed.push_back(found->second);
            m_at.erase(found);
        }
    }

    // Takes out the entries that stayed, keeping the order of the rest.
    void finish() {
        if (m_stayed.empty()) {
            return;
        }
        std::sort(m_stayed.begin(), m_stayed.end());
        std::vector<TrashedEntry>& moved = m_record.moved;
        std::size_t kept = 0;
        std::size_t next = 0;
        for (std::size_t i = 0; i < moved.size(); ++i) {
            if (next < m_stayed.size() && m_stayed[next] == i) {
                ++next;
                continue;
            }
            if (kept != i) {
                moved[kept] = std::move(moved[i]);
            }
            ++kept;
        }
        moved.resize(kept);
    }

private:
    void index() {
        if (m_indexed) {
            return;
        }
        m_indexed = true;
        for (std::size_t i = 0; i < m_record.moved.size(); ++i) {
            m_at[m_record.moved[i].trashed] = i;
        }
    }

    ResetRecord& m_record;
    bool m_indexed = false;
    std::unordered_map<std::string, std::size_t> m_at;
    std::vector<std::size_t> m_stayed;
};

// Applies one journal line after the head to the record.
void applyLine(const json& line, ResetRecord& record, MovedEntries& moved) {
    if (line.contains("settings")) {
        SettingsDump dump;
        dump.folder.path = line.at("settings").get<std::string>();
        dump.folder.excludedSubfolders = line.at("excluded").get<std::vector<std::string>>();
        dump.values = line.at("values").get<SettingsValues>();
        // A later dump of the folder, kept because it changed meanwhile, replaces the earlier.
        std::erase_if(record.settings, [&](const SettingsDump& kept) {
            return kept.folder.path == dump.folder.path;
        });
        record.settings.push_back(std::move(dump));
    } else if (line.contains("settingsStayed")) {
        const std::string folder = line.at("settingsStayed").get<std::string>();
        std::erase_if(record.settings,
                      [&](const SettingsDump& dump) { return dump.folder.path == folder; });
    } else if (line.contains("settled")) {
        // The identity a stat took after the move, where it differs from the one announced.
        if (TrashedEntry* entry = moved.find(pathFrom(line.at("trashed")))) {
            entry->identity = identityFrom(line.at("settled"));
        }
    } else if (line.contains("removed")) {
        record.removed.push_back(pathFrom(line.at("removed")));
    } else if (line.contains("stayed")) {
        moved.dropStayed(pathFrom(line.at("stayed")));
    } else if (line.contains("leftInPlace")) {
        if (TrashedEntry* entry = moved.find(pathFrom(line.at("trashed")))) {
            entry->leftInPlace = stampFrom(line.at("leftInPlace"));
        }
    } else {
        moved.add({pathFrom(line.at("original")), pathFrom(line.at("trashed")), identityFrom(line),
                   std::nullopt});
    }
}

// The head without its list of planned places.
void applyHeadFields(const json& head, ResetRecord& record) {
    const int format = head.at("format").get<int>();
    if (format < kOldestFormat || format > kFormat) {
        throw std::invalid_argument("another format");
    }
    if (head.contains("replacedByRestoring")) {
        record.replacedByRestoring = head.at("replacedByRestoring").get<std::string>();
    }
    if (head.contains("kinds")) {
        record.kinds = head.at("kinds").get<std::vector<std::string>>();
    }
    record.identifier = pathFrom(head.at("identifier"));
    const json& application = head.at("application");
    record.applicationName = pathFrom(application.at("name"));
    record.applicationPath = pathFrom(application.at("path"));
    record.systemTarget = application.at("system").get<bool>();
    record.time = head.at("time").get<std::int64_t>();
}

void applyHead(const json& head, ResetRecord& record) {
    applyHeadFields(head, record);
    for (const json& path : head.at("planned")) {
        record.planned.push_back(pathFrom(path));
    }
}

// Reads the parts of a line that a reset writes by the thousand (a moved entry's line, the
// head's list of planned places) in exactly the form written here, without building a JSON
// value. Anything else (an escape, a name kept as hex, spaces, a leading zero) it does not
// take, and the JSON parser reads that line instead, to the same values.
class PlainJsonReader {
public:
    explicit PlainJsonReader(std::string_view text) : m_rest(text) {}

    bool take(std::string_view literal) {
        if (!m_rest.starts_with(literal)) {
            return false;
        }
        m_rest.remove_prefix(literal.size());
        return true;
    }

    template <typename Integer> std::optional<Integer> integer() {
        const char* begin = m_rest.data();
        const char* end = begin + m_rest.size();
        const char* digits = begin != end && *begin == '-' ? begin + 1 : begin;
        if (digits != end && *digits == '0' && digits + 1 != end && digits[1] >= '0' &&
            digits[1] <= '9') {
            return std::nullopt;
        }
        Integer value{};
        const auto [stop, error] = std::from_chars(begin, end, value);
        if (error != std::errc{} ||
            (stop != end && (*stop == '.' || *stop == 'e' || *stop == 'E'))) {
            return std::nullopt;
        }
        m_rest.remove_prefix(static_cast<std::size_t>(stop - begin));
        return value;
    }

    std::optional<std::string_view> string() {
        if (!take("\"")) {
            return std::nullopt;
        }
        const std::size_t close = m_rest.find('"');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view text = m_rest.substr(0, close);
        // Printable ASCII, as nearly every path is, settles it at once.
        const bool plain =
            plainJsonPrefix(text) == text.size() ||
            (std::none_of(
                 text.begin(), text.end(),
                 [](char c) { return c == '\\' || static_cast<unsigned char>(c) < 0x20; }) &&
             isValidUtf8(text));
        if (!plain) {
            return std::nullopt;
        }
        m_rest.remove_prefix(close + 1);
        return text;
    }

    bool atEnd() const { return m_rest.empty(); }

private:
    std::string_view m_rest;
};

// A moved entry's line as movedEntryLine() writes it.
std::optional<TrashedEntry> plainMovedEntry(std::string_view line) {
    PlainJsonReader in(line);
    TrashedEntry entry;
    EntryIdentity& identity = entry.identity;
    const auto device = in.take(R"({"device":)") ? in.integer<std::uint64_t>() : std::nullopt;
    const auto inode =
        device && in.take(R"(,"inode":)") ? in.integer<std::uint64_t>() : std::nullopt;
    if (!inode) {
        return std::nullopt;
    }
    identity.device = *device;
    identity.inode = *inode;
    if (in.take(R"(,"size":)") && !(identity.size = in.integer<std::uint64_t>())) {
        return std::nullopt;
    }
    if (in.take(R"(,"modifiedNanoseconds":)") &&
        !(identity.modifiedNanoseconds = in.integer<std::int64_t>())) {
        return std::nullopt;
    }
    if (in.take(R"(,"deletionDate":)")) {
        const std::optional<std::string_view> date = in.string();
        if (!date) {
            return std::nullopt;
        }
        identity.deletionDate = *date;
    }
    const auto original = in.take(R"(,"original":)") ? in.string() : std::nullopt;
    const auto trashed = original && in.take(R"(,"trashed":)") ? in.string() : std::nullopt;
    if (!trashed || !in.take("}") || !in.atEnd()) {
        return std::nullopt;
    }
    entry.original = *original;
    entry.trashed = *trashed;
    return entry;
}

// The head as resetRecordHeadLine() writes it: its small part by the JSON parser, the list of
// planned places, which may be long, read plainly. False when it is not in that form.
bool applyPlainHead(std::string_view line, ResetRecord& record) {
    constexpr std::string_view kPlanned = R"(,"planned":[)";
    // A quote inside a string is escaped, so this cannot occur before the list itself.
    const std::size_t at = line.find(kPlanned);
    if (at == std::string_view::npos) {
        return false;
    }
    PlainJsonReader in(line.substr(at + kPlanned.size()));
    std::vector<std::string> planned;
    if (!in.take("]")) {
        do {
            const std::optional<std::string_view> path = in.string();
            if (!path) {
                return false;
            }
            planned.emplace_back(*path);
        } while (in.take(","));
        if (!in.take("]")) {
            return false;
        }
    }
    if (!in.take("}") || !in.atEnd()) {
        return false;
    }
    std::string rest(line.substr(0, at));
    rest += '}';
    const json head = json::parse(rest, nullptr, false);
    if (head.is_discarded() || !head.is_object() || head.contains("planned")) {
        return false;
    }
    applyHeadFields(head, record);
    record.planned = std::move(planned);
    return true;
}

} // namespace

bool isRecordId(std::string_view id) {
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

namespace {

// Builds the head line in `line`, handing it to `flush` (which empties it, and returns false
// when it failed) each time it has grown to `batch` bytes; false when a flush failed.
bool buildHeadLine(const ResetRecord& record, std::string& line, std::size_t batch,
                   const std::function<bool(std::string&)>& flush) {
    json head = {{"format", kFormat},
                 {"identifier", pathJson(record.identifier)},
                 {"application",
                  {{"name", pathJson(record.applicationName)},
                   {"path", pathJson(record.applicationPath)},
                   {"system", record.systemTarget}}},
                 {"time", record.time}};
    if (!record.replacedByRestoring.empty()) {
        head["replacedByRestoring"] = record.replacedByRestoring;
    }
    if (!record.kinds.empty()) {
        head["kinds"] = record.kinds;
    }
    // The planned entries, which may be many, are written straight after the rest.
    line += head.dump();
    line.pop_back();
    line += R"(,"planned":[)";
    for (std::size_t i = 0; i < record.planned.size(); ++i) {
        if (i > 0) {
            line += ',';
        }
        appendPath(line, record.planned[i]);
        if (line.size() >= batch && !flush(line)) {
            return false;
        }
    }
    line += "]}\n";
    return true;
}

// Writes the head line a piece at a time: with 100,000 planned entries it is some 10 MB, which
// would otherwise be held whole, and copied as it grew, beside the list it is made from.
Status writeHeadLine(int fd, const ResetRecord& record) {
    constexpr std::size_t kBatch = std::size_t{64} * 1024;
    killPoint();
    int error = 0;
    const auto flush = [fd, &error](std::string& piece) {
        error = writeAll(fd, piece);
        piece.clear();
        return error == 0;
    };
    std::string line;
    line.reserve(kBatch + 4096);
    if (buildHeadLine(record, line, kBatch, flush)) {
        flush(line);
    }
    if (error != 0) {
        return systemError("could not write the reset record", error);
    }
    return Done{};
}

} // namespace

std::string resetRecordHeadLine(const ResetRecord& record) {
    std::string line;
    buildHeadLine(record, line, std::string::npos, [](std::string&) { return true; });
    return line;
}

namespace {

void appendNumber(std::string& out, std::integral auto value) {
    char digits[24];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
    out.append(digits, end);
}

} // namespace

void writeMovedEntryLine(std::string& line, const EntryIdentity& identity,
                         std::string_view original, std::string_view trashed) {
    using namespace std::string_view_literals; // sized at compile time, not measured per line
    line.clear();
    line.reserve(160 + identity.deletionDate.size() + original.size() + trashed.size());
    line += R"({"device":)"sv;
    appendNumber(line, identity.device);
    line += R"(,"inode":)"sv;
    appendNumber(line, identity.inode);
    if (identity.size) {
        line += R"(,"size":)"sv;
        appendNumber(line, *identity.size);
    }
    if (identity.modifiedNanoseconds) {
        line += R"(,"modifiedNanoseconds":)"sv;
        appendNumber(line, *identity.modifiedNanoseconds);
    }
    if (!identity.deletionDate.empty()) {
        line += R"(,"deletionDate":)"sv;
        appendPath(line, identity.deletionDate);
    }
    line += R"(,"original":)"sv;
    appendPath(line, original);
    line += R"(,"trashed":)"sv;
    appendPath(line, trashed);
    line += "}\n"sv;
}

std::string movedEntryLine(const TrashedEntry& entry) {
    std::string line;
    writeMovedEntryLine(line, entry.identity, entry.original, entry.trashed);
    return line;
}

std::string settledLine(const std::string& trashed, const EntryIdentity& identity) {
    return lineOf({{"trashed", pathJson(trashed)}, {"settled", identityJson(identity)}});
}

std::string removedEntryLine(const std::string& path) {
    return lineOf({{"removed", pathJson(path)}});
}

std::string leftInPlaceLine(const std::string& trashed, const EntryStamp& stamp) {
    return lineOf({{"trashed", pathJson(trashed)}, {"leftInPlace", stampJson(stamp)}});
}

std::string stayedLine(const std::string& trashed) {
    return lineOf({{"stayed", pathJson(trashed)}});
}

Result<std::string> settingsDumpLine(const SettingsDump& dump) {
    const json line = {{"settings", dump.folder.path},
                       {"excluded", dump.folder.excludedSubfolders},
                       {"values", dump.values}};
    try {
        return lineOf(line);
    } catch (const json::exception&) {
        return Error{"the settings in " + dump.folder.path + " hold text that is not UTF-8",
                     EILSEQ};
    }
}

std::string settingsStayedLine(const std::string& folder) {
    try {
        return lineOf({{"settingsStayed", folder}});
    } catch (const json::exception&) {
        return {};
    }
}

std::string resetRecordText(const ResetRecord& record) {
    std::string text = resetRecordHeadLine(record);
    for (const SettingsDump& dump : record.settings) {
        // A dump that was written once reads as text again.
        if (Result<std::string> line = settingsDumpLine(dump)) {
            text += *line;
        }
    }
    for (const TrashedEntry& entry : record.moved) {
        text += movedEntryLine(entry);
        if (entry.leftInPlace) {
            text += leftInPlaceLine(entry.trashed, *entry.leftInPlace);
        }
    }
    for (const std::string& path : record.removed) {
        text += removedEntryLine(path);
    }
    return text;
}

namespace {

// Applies the journal's lines one by one; false once one does not read.
class RecordParser {
public:
    bool feed(std::string_view text) {
        if (m_lines > 0) {
            if (std::optional<TrashedEntry> entry = plainMovedEntry(text)) {
                m_moved.add(std::move(*entry));
                ++m_lines;
                return true;
            }
        } else {
            try {
                if (applyPlainHead(text, m_record)) {
                    // A line follows for each planned entry, as a rule: the list is not grown
                    // and moved again and again.
                    m_record.moved.reserve(m_record.planned.size());
                    ++m_lines;
                    return true;
                }
            } catch (const std::exception&) {
                return m_ok = false;
            }
        }
        const json line = json::parse(text, nullptr, false);
        if (line.is_discarded() || !line.is_object()) {
            return m_ok = false;
        }
        try {
            if (m_lines == 0) {
                applyHead(line, m_record);
            } else {
                applyLine(line, m_record, m_moved);
            }
        } catch (const std::exception&) {
            return m_ok = false;
        }
        ++m_lines;
        return true;
    }
    std::optional<ResetRecord> finish() {
        if (!m_ok || m_lines == 0) {
            return std::nullopt;
        }
        m_moved.finish();
        return std::move(m_record);
    }

private:
    ResetRecord m_record;
    MovedEntries m_moved{m_record};
    std::size_t m_lines = 0;
    bool m_ok = true;
};

} // namespace

std::optional<ResetRecord> parseResetRecord(std::string_view text) {
    RecordParser parser;
    // A last line without its newline was cut short while being written.
    for (std::size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n')) {
        if (!parser.feed(text.substr(0, end))) {
            return std::nullopt;
        }
        text.remove_prefix(end + 1);
    }
    return parser.finish();
}

ResetJournal::~ResetJournal() {
    if (m_unsynced > 0) {
        (void)sync();
    }
    close(m_fd);
}

Status ResetJournal::append(const std::string& line) {
    Status wrote = writeRecord(m_fd, line);
    if (!wrote) {
        return wrote;
    }
    if (++m_unsynced >= kSyncBatch) {
        return sync();
    }
    return Done{};
}

Status ResetJournal::sync() {
    m_unsynced = 0;
    killPoint();
    if (fsync(m_fd) != 0) {
        return systemError("could not write the reset record to the disk", errno);
    }
    return Done{};
}

std::string ResetRecords::folderIn(const std::string& library) {
    return appendPathComponent(library, "Application Support/Corvane/Resets");
}

std::string ResetRecords::fileFor(const std::string& id) const {
    return appendPathComponent(m_folder, id);
}

Status ResetRecords::makeFolder() const {
    // Each missing folder on the way, for the user alone.
    if (makeFolders(m_folder, 0700)) {
        return Done{};
    }
    if (errno == EEXIST) {
        return Error{"the records' place " + m_folder + " is not a folder", ENOTDIR};
    }
    return systemError("could not make the folder " + m_folder, errno);
}

std::vector<std::string> ResetRecords::ids() const {
    std::vector<std::string> found;
    forEachEntry(m_folder, [&found](const FolderEntry& entry) {
        if (isRecordId(entry.name)) {
            found.emplace_back(entry.name);
        }
        return true;
    });
    std::sort(found.begin(), found.end());
    return found;
}

Result<std::unique_ptr<ResetJournal>> ResetRecords::begin(ResetRecord& record, std::size_t kept) {
    if (Status made = makeFolder(); !made) {
        return made.error();
    }
    const std::string stem = idStem(record.time);
    int fd = -1;
    std::string id;
    // Past the highest counter of that second, so that a newer record always sorts last even
    // when an earlier one of the same second has gone.
    int first = 0;
    for (const std::string& known : ids()) {
        if (known.compare(0, stem.size(), stem) == 0) {
            first = std::max(first, std::stoi(known.substr(stem.size() + 1)) + 1);
        }
    }
    // O_EXCL: two resets in one second each get a file of their own, never one another's.
    for (int counter = first; counter < 100 && fd < 0; ++counter) {
        id = stem + (counter < 10 ? "-0" : "-") + std::to_string(counter);
        killPoint();
        fd = open(fileFor(id).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0 && errno != EEXIST) {
            return systemError("could not create the reset record in " + m_folder, errno);
        }
    }
    if (fd < 0) {
        return Error{"too many resets in one second", EEXIST};
    }
    auto journal = std::make_unique<ResetJournal>(fd, id, m_folder);
    Status written = writeHeadLine(fd, record);
    if (written) {
        written = syncWithFolder(*journal, m_folder);
    }
    if (!written) {
        journal.reset();
        unlink(fileFor(id).c_str());
        return written.error();
    }
    record.id = id;
    std::vector<std::string> all = ids();
    // Later records sort last; the oldest go, their Trash items stay where they are.
    for (std::size_t i = 0; i + kept < all.size(); ++i) {
        if (all[i] != id) {
            remove(all[i]);
        }
    }
    return journal;
}

Status ResetRecords::rewrite(const ResetRecord& record) {
    if (!isRecordId(record.id)) {
        return Error{"not a record's name: " + record.id, EINVAL};
    }
    // Written beside its place and renamed over it, so a reader finds the old record or the new.
    const std::string temporary =
        appendPathComponent(m_folder, "." + record.id + ".tmp-" + std::to_string(getpid()));
    killPoint();
    const int fd =
        open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return systemError("could not rewrite the reset record", errno);
    }
    Status written = writeRecord(fd, resetRecordText(record));
    if (written && fsync(fd) != 0) {
        written = systemError("could not write the reset record to the disk", errno);
    }
    close(fd);
    if (written) {
        killPoint();
    }
    if (written && rename(temporary.c_str(), fileFor(record.id).c_str()) != 0) {
        written = systemError("could not replace the reset record", errno);
    }
    if (!written) {
        unlink(temporary.c_str());
        return written;
    }
    return syncFolder(m_folder);
}

void ResetRecords::remove(const std::string& id) {
    if (isRecordId(id)) {
        killPoint();
        unlink(fileFor(id).c_str());
    }
}

KeptRecord ResetRecords::read(const std::string& id) const {
    RecordParser parser;
    // Read a line at a time: a record of 100,000 entries is some 30 MB of text.
    const std::optional<LinesRead> read =
        readRegularFileLines(fileFor(id), kLargestRecord,
                             [&parser](std::string_view line) { return parser.feed(line); });
    std::optional<ResetRecord> record =
        read && !read->stopped ? parser.finish() : std::optional<ResetRecord>();
    if (!record) {
        return DamagedRecord{id, read && !read->anyLine};
    }
    record->id = id;
    record->lastWritten = read->modifiedSeconds;
    return std::move(*record);
}

LatestRecord ResetRecords::latest(const std::optional<std::string>& identifier) const {
    const std::vector<std::string> ids = this->ids();
    for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
        KeptRecord kept = read(*it);
        if (auto* record = std::get_if<ResetRecord>(&kept)) {
            if (!identifier || record->identifier == *identifier) {
                return std::move(*record);
            }
        } else {
            return std::get<DamagedRecord>(kept);
        }
    }
    return std::monostate{};
}

std::vector<KeptRecord> ResetRecords::all(const std::optional<std::string>& identifier) const {
    std::vector<KeptRecord> kept;
    forEach(identifier, [&kept](KeptRecord& one) {
        kept.push_back(std::move(one));
        return true;
    });
    return kept;
}

void ResetRecords::forEach(const std::optional<std::string>& identifier,
                           const std::function<bool(KeptRecord&)>& visit) const {
    const std::vector<std::string> ids = this->ids();
    for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
        KeptRecord one = read(*it);
        const auto* record = std::get_if<ResetRecord>(&one);
        if ((!record || !identifier || record->identifier == *identifier) && !visit(one)) {
            return;
        }
    }
}

LatestRecord ResetRecords::named(const std::string& id) const {
    const std::vector<std::string> ids = this->ids();
    if (!isRecordId(id) || std::find(ids.begin(), ids.end(), id) == ids.end()) {
        return std::monostate{};
    }
    KeptRecord kept = read(id);
    if (auto* record = std::get_if<ResetRecord>(&kept)) {
        return std::move(*record);
    }
    return std::get<DamagedRecord>(kept);
}

} // namespace corvane
