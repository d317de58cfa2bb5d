// Times Corvane against the system's own tools on synthetic Libraries, each side as a whole
// process, in alternating rounds, and prints the medians one figure a line:
//
//   NAME: ours X s, reference Y s, ratio Z
//   NAME: peak N MiB
//   startup-memory: ours X MiB, reference Y MiB, difference +Z MiB
//
//   corvane_bench [--rounds N] [--scale-rounds N] [--rest SECONDS] [--gio-limit SECONDS]
//                 [--keep-caches]
//                 [--only analysis,fix,restore,entries,scale,safari,startup,linux] [--markdown
//                 FILE]
//
// --scale-rounds: rounds of 100,000 separate entries (half of --rounds); --rest: how long each
// freshly built Library is left alone before its timed run (3 s);
// --gio-limit: when gio's restore is stopped (120 s); --keep-caches: the kernel's caches are
// not dropped before the moves of separate entries; --only: some of the parts, by name.
//   corvane_bench generate HOME ENTRIES [IDENTIFIER [CACHES]]   only build a Library
//   corvane_bench generate-entries HOME N   only build a Library of N separate entries
//
// Exits 1 when a goal is missed or a side did not do what it should.

#include "SyntheticLibrary.h"
#include "TimedProcess.h"
#include "base/BackgroundRemovals.h"
#include "base/Directory.h"
#include "base/RegularFile.h"
#include "core/fix/ResetRecord.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <sys/utsname.h>
#include <thread>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace {

using namespace corvane::bench;
namespace fs = std::filesystem;

constexpr const char* kTarget = "com.corvane.bench.Target";
constexpr const char* kSafari = "com.apple.Safari";
// The analysis reads every name once and compares in place; find's name tests do no less.
constexpr double kAnalysisGoal = 0.7;
// The fix moves the target's folders to the Trash: one rename each, not a walk of their files.
constexpr double kFixGoal = 0.1;
// Putting back also checks that each entry is the very item the reset moved, removes its
// .trashinfo and the record, and first makes sure the application is not running, where mv
// renames once.
constexpr double kRestoreGoal = 2.0;
// Separate entries: each costs an info file, a journal line and a rename into the Trash, and back
// out; the minimal programs (corvane-bench-minimal) do that and no more, so Corvane's own work
// around it (finding the entries, the record, its checks) may add a fifth. gio does the same
// per entry, without a journal.
constexpr double kEntriesMinimalGoal = 1.2;
constexpr double kFixGioGoal = 0.7;
constexpr double kRestoreGioGoal = 0.5;
// One entry: the program's fixed start against gio's.
constexpr double kOneEntryFixGioGoal = 2.0;
// The largest reset: its restore is not slower than it, and neither holds memory per entry.
constexpr std::size_t kScaleEntries = 100000;
constexpr double kRestoreAgainstFixGoal = 1.0;
constexpr double kScaleMemoryGoalMiB = 100;
constexpr double kMemoryGoalMiB = 100;
// The window's start against the same window without the program's start-up work: what the
// program needs from the disk or the session bus waits until its window is on screen.
constexpr double kStartupGoal = 1.1;
constexpr double kStartupMemoryGoalMiB = 1.0;
// Both sides of the start-up figure share the sizes the Library and the fix before it are built
// with: a reset of this many separate entries, still in the Trash, is what Restore offers.
constexpr std::size_t kStartupRecordEntries = 2000; // whole thousands: the report writes 2,000

struct Figure {
    std::string name;
    double ours = 0;
    double reference = 0;
    double goal = 0; // 0: no goal
    bool checked = true;
    // The reference was stopped at a time limit in some rounds: its figure is a lower bound and
    // the ratio an upper bound.
    std::string referenceCut{};
    double ratio() const { return ours / reference; }
};

struct Run {
    std::string binDir;
    fs::path scratch;
    int rounds = 5;
    std::vector<Figure> figures;
    double memoryMiB = 0;
    double oursPeakMiB = 0;
    // Resident at the first paint: Corvane's and the reference window's; both 0 when not measured.
    double startupMiB = 0;
    double startupReferenceMiB = 0;
    std::vector<std::string> problems;
    std::string growth;
    std::string loadAverage;
    std::string fileSystem; // of the scratch folder
    std::string mount;      // its mount: source, mount point, type and options
    // Seconds to wait after a Library is built and flushed, before a timed run on it.
    double restSeconds = 3;
    // Whether the kernel's dentry and inode caches may be dropped before each timed move of
    // separate entries (only root may).
    bool dropsCaches = false;
    // gio's restore reads the whole Trash for every entry it puts back, which at 20,000 entries
    // takes tens of minutes here: it is stopped at this limit.
    double gioLimitSeconds = 120;
    int scaleRounds = 0; // rounds of 100,000 separate entries; 0: half the rounds
    // Built homes, deleted only when every timed run is over.
    std::vector<std::string> leftovers;
    // Peak resident memory of the largest reset and restore: Corvane's and the minimal program's.
    struct Peak {
        std::string name;
        double oursMiB = 0;
        double minimalMiB = 0;
    };
    std::vector<Peak> peaks;
    std::vector<std::string> notes;
    std::string arguments; // what the run was started with
};

// A freshly built tree flushed to disk and left alone for a while, so that a timed run does not
// pay for its writeback or for the file system's own work after it.
void settle(const Run& run) {
    sync();
    std::this_thread::sleep_for(std::chrono::duration<double>(run.restSeconds));
}

// settle(), then the kernel's dentry and inode caches dropped where that is allowed. Every
// timed move of separate entries makes thousands of files; when the caches have no free room
// left, the kernel grows them while the side is timed, which here costs that side 3-5 times
// its usual time. Dropped first, each side starts with room and with the tree's entries
// looked up afresh.
void settleCaches(const Run& run) {
    settle(run);
    if (run.dropsCaches) {
        sync();
        std::ofstream("/proc/sys/vm/drop_caches") << "2\n";
    }
}

// Deletion waits until every timed run is over: on ext4 without a journal files made soon after
// many were freed cost several times more, and every unlink waits for a discard.
void leave(Run& run, const std::string& home) {
    run.leftovers.push_back(home);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::size_t countLines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

bool anyExists(const std::vector<std::string>& paths) {
    return std::any_of(paths.begin(), paths.end(), [](const std::string& path) {
        std::error_code error;
        return fs::symlink_status(path, error).type() != fs::file_type::not_found;
    });
}

bool allExist(const std::vector<std::string>& paths) {
    return std::all_of(paths.begin(), paths.end(),
                       [](const std::string& path) { return anyExists({path}); });
}

std::size_t entriesIn(const fs::path& folder) {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    return error ? 0 : static_cast<std::size_t>(std::distance(it, fs::directory_iterator()));
}

// What the home's Trash holds: entries in its files folder and in its info folder.
struct TrashContent {
    std::size_t files = 0;
    std::size_t info = 0;
};

TrashContent trashContent(const std::string& home) {
    const fs::path trash = fs::path(home) / ".local/share/Trash";
    return {entriesIn(trash / "files"), entriesIn(trash / "info")};
}

// The line corvane-bench-run prints after a fix.
struct FixOutput {
    int removals = -1;
    int success = 0;
    std::size_t trashed = 0;
    std::string ending;
    int asked = -1;
    int refused = -1;

    // Everything went to the Trash, nothing for good, no question or refusal came up.
    bool clean() const {
        return removals == 0 && success == 1 && trashed > 0 && ending == "done" && asked == 0 &&
               refused == 0;
    }
};

// How many entries the newest record in `home` says moved, counted from its lines, here and
// not in the timed process: a reset does not read back what it wrote.
std::size_t movedInNewestRecord(const std::string& home) {
    const std::string folder = corvane::ResetRecords::folderIn(home + "/Library");
    std::string newest;
    corvane::forEachEntry(folder, [&newest](const corvane::FolderEntry& entry) {
        if (corvane::isRecordId(entry.name) && newest < entry.name) {
            newest = entry.name;
        }
        return true;
    });
    std::size_t moved = 0;
    std::size_t stayed = 0;
    if (!newest.empty()) {
        (void)corvane::readRegularFileLines(folder + "/" + newest, std::size_t{1} << 30,
                                            [&](std::string_view line) {
                                                moved += line.starts_with(R"({"device":)") ? 1 : 0;
                                                stayed += line.starts_with(R"({"stayed":)") ? 1 : 0;
                                                return true;
                                            });
    }
    return moved - std::min(moved, stayed);
}

// What a fix of `home` printed, and what its record says moved.
FixOutput parseFix(const std::string& text, const std::string& home) {
    FixOutput out;
    char ending[32] = {};
    std::sscanf(text.c_str(),
                "preferences %*d state %*d removals %d missing %*d logged %*d success %d "
                "ending %31s asked %d refused %d",
                &out.removals, &out.success, ending, &out.asked, &out.refused);
    out.ending = ending;
    out.trashed = movedInNewestRecord(home);
    return out;
}

// The line corvane-bench-run prints after a restore.
struct RestoreOutput {
    int restored = -1;
    std::string ending;
    int asked = -1;
    int refused = -1;
};

RestoreOutput parseRestore(const std::string& text) {
    RestoreOutput out;
    char ending[32] = {};
    std::sscanf(text.c_str(), "restored %d ending %31s asked %d refused %d", &out.restored, ending,
                &out.asked, &out.refused);
    out.ending = ending;
    return out;
}

// Runs every side once a round, each round starting one side later than the one before, and
// returns the sides' medians.
std::vector<double> rotate(int rounds, const std::vector<std::function<double()>>& sides) {
    std::vector<std::vector<double>> times(sides.size());
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t i = 0; i < sides.size(); ++i) {
            const std::size_t side = (i + static_cast<std::size_t>(round)) % sides.size();
            times[side].push_back(sides[side]());
        }
    }
    std::vector<double> medians;
    for (const std::vector<double>& each : times) {
        medians.push_back(median(each));
    }
    return medians;
}

// Alternates which side goes first from round to round, and returns the two medians.
std::pair<double, double> alternate(int rounds, const std::function<double()>& ours,
                                    const std::function<double()>& reference) {
    const std::vector<double> medians = rotate(rounds, {ours, reference});
    return {medians[0], medians[1]};
}

void print(const Figure& figure) {
    std::printf("%s: ours %.4f s, reference %.4f s, ratio %.2f\n", figure.name.c_str(), figure.ours,
                figure.reference, figure.ratio());
    if (!figure.referenceCut.empty()) {
        std::printf("%s: the reference is at least %.4f s and the ratio at most %.2f: %s\n",
                    figure.name.c_str(), figure.reference, figure.ratio(),
                    figure.referenceCut.c_str());
    }
    std::fflush(stdout);
}

// find's expression for the entries that belong to `id`: its own names (ID, ID.plist,
// ID.plist.*, ID.savedState, ID.binarycookies, ID.*.plist) and, unless `prune`, everything
// beneath them; with `prune` the search stops at each of them.
std::vector<std::string> ownedEntries(const std::string& id, bool ignoreCase, bool prune) {
    const std::string byName = ignoreCase ? "-iname" : "-name";
    std::vector<std::string> expression = {"("};
    for (const std::string& name : {id, id + ".plist", id + ".plist.*", id + ".savedState",
                                    id + ".binarycookies", id + ".*.plist"}) {
        if (expression.size() > 1) {
            expression.push_back("-o");
        }
        expression.insert(expression.end(), {byName, name});
        if (!prune) {
            expression.insert(expression.end(),
                              {"-o", ignoreCase ? "-ipath" : "-path", "*/" + name + "/*"});
        }
    }
    expression.push_back(")");
    if (prune) {
        expression.push_back("-prune");
    }
    return expression;
}

void analysis(Run& run, std::size_t entries, bool keepForMemory) {
    const fs::path home = run.scratch / ("analysis-" + std::to_string(entries));
    LibraryShape shape;
    shape.entries = entries;
    shape.identifier = kTarget;
    const SyntheticLibrary library = SyntheticLibrary::build(home.string(), shape);
    sync();
    const std::string prefs = library.library + "/Preferences";
    const std::string state = library.library + "/Saved Application State";
    const std::size_t expected = library.preferenceMatches.size() + library.stateMatches.size();
    std::ostringstream wanted;
    wanted << "preferences " << library.preferenceMatches.size() << " state "
           << library.stateMatches.size() << "\n";

    const std::vector<std::string> oursArgs = {run.binDir + "/corvane-bench-run", "analyse",
                                               home.string(), kTarget};
    std::vector<std::string> findArgs = {"/usr/bin/find", prefs, state};
    const std::vector<std::string> owned = ownedEntries(kTarget, false, false);
    findArgs.insert(findArgs.end(), owned.begin(), owned.end());
    double peak = 0;
    const auto ours = [&] {
        const TimedProcess p = TimedProcess::run(oursArgs, {}, true);
        if (p.exitCode != 0 || p.output != wanted.str()) {
            run.problems.push_back("analysis of " + std::to_string(entries) + " entries printed '" +
                                   p.output + "', expected '" + wanted.str() + "'");
        }
        peak = std::max(peak, p.peakMiB);
        return p.seconds;
    };
    const auto reference = [&] {
        const TimedProcess p = TimedProcess::run(findArgs, {}, true);
        if (p.exitCode != 0 || countLines(p.output) != expected) {
            run.problems.push_back("find on " + std::to_string(entries) + " entries listed " +
                                   std::to_string(countLines(p.output)) + " entries, expected " +
                                   std::to_string(expected));
        }
        return p.seconds;
    };
    ours(); // warm the page cache and the loader for both sides before timing
    reference();
    const auto [oursTime, referenceTime] = alternate(run.rounds * 2 + 1, ours, reference);
    Figure figure{"analysis-" + std::to_string(library.walkedEntries), oursTime, referenceTime,
                  entries >= 100000 ? kAnalysisGoal : 0.0};
    print(figure);
    run.figures.push_back(figure);
    if (entries >= 100000) {
        run.oursPeakMiB = peak;
    }
    if (!keepForMemory) {
        leave(run, home.string());
    }
}

void memory(Run& run, std::size_t entries) {
    const fs::path home = run.scratch / ("analysis-" + std::to_string(entries));
    const TimedProcess p =
        TimedProcess::run({run.binDir + "/corvane-bench-memory", home.string(), kTarget},
                          {"QT_QPA_PLATFORM=offscreen"}, true);
    double reported = 0;
    std::size_t listed = 0;
    if (p.exitCode != 0 ||
        std::sscanf(p.output.c_str(), "entries %zu peak %lf MiB", &listed, &reported) != 2 ||
        listed == 0) {
        run.problems.push_back("memory run failed: '" + p.output + "'");
    }
    // The process's own figure and the one its parent sees agree; the larger one counts.
    run.memoryMiB = std::max(reported, p.peakMiB);
    std::printf("memory-analysis-%zu: peak %.1f MiB\n", entries, run.memoryMiB);
    std::fflush(stdout);
    leave(run, home.string());
}

// A target whose matching entries number 10,000: its preference files and a saved-state folder
// of many window files, beside the other applications of a 1,000-entry Library.
void fix(Run& run, std::size_t matching) {
    LibraryShape shape;
    shape.identifier = kTarget;
    constexpr std::size_t kPreferenceMatches = 5; // plist, ByHost, folder with two files
    shape.targetStateFiles = matching - kPreferenceMatches - 1;
    shape.entries = 1000 + matching;
    int round = 0;
    const auto build = [&](const char* side) {
        const fs::path home =
            run.scratch / ("fix-" + std::string(side) + "-" + std::to_string(round));
        SyntheticLibrary library = SyntheticLibrary::build(home.string(), shape);
        const std::size_t found = library.preferenceMatches.size() + library.stateMatches.size();
        if (found != matching) {
            throw std::logic_error("fix Library has " + std::to_string(found) + " matches");
        }
        settle(run);
        return library;
    };
    const auto ours = [&] {
        const SyntheticLibrary library = build("ours");
        const TimedProcess p = TimedProcess::run(
            {run.binDir + "/corvane-bench-run", "fix", library.home, kTarget}, {}, true);
        const FixOutput out = parseFix(p.output, library.home);
        const TrashContent trash = trashContent(library.home);
        if (p.exitCode != 0 || !out.clean() || anyExists(library.preferenceMatches) ||
            anyExists(library.stateMatches) || trash.files != out.trashed ||
            trash.info != out.trashed) {
            run.problems.push_back("fix left entries or did not use the Trash: " + p.output);
        }
        leave(run, library.home);
        return p.seconds;
    };
    const auto reference = [&] {
        const SyntheticLibrary library = build("rm");
        std::vector<std::string> args = {"/bin/rm", "-rf"};
        std::vector<std::string> all = library.preferenceMatches;
        all.insert(all.end(), library.stateMatches.begin(), library.stateMatches.end());
        for (const std::string& path : SyntheticLibrary::topmost(all)) {
            args.push_back(path);
        }
        const TimedProcess p = TimedProcess::run(args);
        if (p.exitCode != 0 || anyExists(all)) {
            run.problems.push_back("rm -rf left entries");
        }
        leave(run, library.home);
        ++round;
        return p.seconds;
    };
    const auto [oursTime, referenceTime] = alternate(run.rounds, ours, reference);
    Figure figure{"fix-" + std::to_string(matching), oursTime, referenceTime, kFixGoal};
    print(figure);
    run.figures.push_back(figure);
}

// `library` as the fix leaves it, flushed to disk, and the number of entries the fix trashed.
SyntheticLibrary fixedLibrary(Run& run, SyntheticLibrary library, const char* identifier,
                              std::size_t& trashed) {
    const TimedProcess fixed = TimedProcess::run(
        {run.binDir + "/corvane-bench-run", "fix", library.home, identifier}, {}, true);
    const FixOutput out = parseFix(fixed.output, library.home);
    trashed = out.trashed;
    if (fixed.exitCode != 0 || !out.clean()) {
        run.problems.push_back("the fix before a restore did not go cleanly: " + fixed.output);
    }
    settle(run);
    return library;
}

// Times Corvane's restore of `library`'s latest reset, which trashed `trashed` entries, and
// checks that every one of the target's entries is back and the Trash is empty again.
double restoreOnce(Run& run, const SyntheticLibrary& library, std::size_t trashed) {
    const TimedProcess p = TimedProcess::run(
        {run.binDir + "/corvane-bench-run", "restore", library.home, kTarget}, {}, true);
    const RestoreOutput out = parseRestore(p.output);
    const TrashContent trash = trashContent(library.home);
    if (p.exitCode != 0 || trashed == 0 || out.restored != static_cast<int>(trashed) ||
        out.ending != "done" || out.asked != 0 || out.refused != 0 ||
        !allExist(library.preferenceMatches) || !allExist(library.stateMatches) ||
        trash.files != 0 || trash.info != 0) {
        run.problems.push_back("restore did not bring everything back: trashed " +
                               std::to_string(trashed) + ", Trash left with " +
                               std::to_string(trash.files) + " entries and " +
                               std::to_string(trash.info) + " info files / " + p.output);
    }
    return p.seconds;
}

// Putting back the fix of a target with 10,000 matching entries, its saved-state folder the
// largest, against one `mv` of that folder out of the Trash. A third side starts the same
// program in the same state and lets it exit at once: the share of the figure that no
// put-back work can remove.
void restore(Run& run, std::size_t matching) {
    LibraryShape shape;
    shape.identifier = kTarget;
    shape.targetStateFiles = matching - 7;
    shape.entries = 1000 + matching;
    int round = 0;
    const auto build = [&](const char* side) {
        const fs::path home =
            run.scratch / ("restore-" + std::string(side) + "-" + std::to_string(round));
        return SyntheticLibrary::build(home.string(), shape);
    };
    const auto ours = [&] {
        std::size_t trashed = 0;
        const SyntheticLibrary library = fixedLibrary(run, build("ours"), kTarget, trashed);
        const double seconds = restoreOnce(run, library, trashed);
        leave(run, library.home);
        return seconds;
    };
    const auto reference = [&] {
        const SyntheticLibrary library = build("mv");
        const std::string folder = SyntheticLibrary::topmost(library.stateMatches).front();
        const std::string trashed = library.home + "/Trash/" + fs::path(folder).filename().string();
        fs::create_directories(library.home + "/Trash");
        fs::rename(folder, trashed);
        settle(run);
        const TimedProcess p = TimedProcess::run({"/bin/mv", trashed, folder});
        if (p.exitCode != 0 || !anyExists(library.stateMatches)) {
            run.problems.push_back("mv did not move the folder back");
        }
        leave(run, library.home);
        ++round;
        return p.seconds;
    };
    const auto startAlone = [&] {
        std::size_t trashed = 0;
        const SyntheticLibrary library = fixedLibrary(run, build("start"), kTarget, trashed);
        const TimedProcess p = TimedProcess::run(
            {run.binDir + "/corvane-bench-run", "start", library.home, kTarget}, {}, true);
        if (p.exitCode != 0 || trashed == 0) {
            run.problems.push_back("the program did not start and end cleanly");
        }
        leave(run, library.home);
        return p.seconds;
    };
    const std::vector<double> times = rotate(run.rounds, {ours, reference, startAlone});
    const std::string name = "restore-" + std::to_string(matching);
    Figure figure{name, times[0], times[1], kRestoreGoal};
    print(figure);
    run.figures.push_back(figure);
    Figure floor{name + "-start-alone", times[2], times[1], 0};
    print(floor);
    run.figures.push_back(floor);
}

// Who moves a target's separate entries to the Trash and puts them back.
enum class Tool { Ours, Minimal, Gio };

const char* toolName(Tool tool) {
    switch (tool) {
    case Tool::Ours:
        return "ours";
    case Tool::Minimal:
        return "minimal";
    case Tool::Gio:
        return "gio";
    }
    return "?";
}

// Every byte but the unreserved ones and '/' as %XX: a name in a trash:/// location.
std::string percentEncoded(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || byte == '-' || byte == '_' || byte == '.' || byte == '~' ||
            byte == '/') {
            out.push_back(c);
        } else {
            out += {'%', kHex[byte >> 4], kHex[byte & 15]};
        }
    }
    return out;
}

std::optional<std::string> percentDecoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
        } else if (i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

// What is wrong with `home`'s Trash after a move of `originals` into it, by any of the tools;
// empty when nothing is: every original is gone from its place, and the Trash holds exactly one
// item and one info file for each, the info file's Path naming that original and its
// DeletionDate a local time to the second.
std::string trashProblem(const std::string& home, const std::vector<std::string>& originals) {
    if (anyExists(originals)) {
        return "entries are still in place";
    }
    const fs::path trash = fs::path(home) / ".local/share/Trash";
    const TrashContent content = trashContent(home);
    if (content.files != originals.size() || content.info != originals.size()) {
        return "the Trash holds " + std::to_string(content.files) + " items and " +
               std::to_string(content.info) + " info files";
    }
    std::unordered_set<std::string> wanted(originals.begin(), originals.end());
    for (const fs::directory_entry& entry : fs::directory_iterator(trash / "info")) {
        const std::string name = entry.path().filename().string();
        const std::string suffix = ".trashinfo";
        if (name.size() <= suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
            return "stray file " + name + " in the Trash's info folder";
        }
        std::ifstream in(entry.path());
        std::string line;
        std::optional<std::string> path;
        std::string date;
        std::getline(in, line);
        const bool header = line == "[Trash Info]";
        while (std::getline(in, line)) {
            if (line.rfind("Path=", 0) == 0) {
                path = percentDecoded(line.substr(5));
            } else if (line.rfind("DeletionDate=", 0) == 0) {
                date = line.substr(13);
            }
        }
        if (!header || !path || wanted.erase(*path) != 1) {
            return "info file " + name + " does not name one of the entries moved";
        }
        if (date.size() != 19 || date[4] != '-' || date[10] != 'T' || date[13] != ':') {
            return "info file " + name + " has DeletionDate '" + date + "'";
        }
        if (!anyExists(
                {(trash / "files" / name.substr(0, name.size() - suffix.size())).string()})) {
            return "info file " + name + " has no item in the Trash";
        }
    }
    return wanted.empty() ? std::string() : "an entry has no info file";
}

// One side's Library in one round: built fresh, moved to the Trash by its tool, and later put
// back by the same tool.
struct Trial {
    Tool tool = Tool::Ours;
    SyntheticLibrary library;
    bool trashed = false; // cleanly, so that putting back can be timed
};

// The separate entries of one size: the sides compared and what their rounds measured.
struct EntriesSize {
    std::size_t count = 0;
    int rounds = 1;
    std::vector<Tool> tools;
    std::vector<std::vector<Trial>> trials; // [round][tool's index]
    std::map<Tool, std::vector<double>> fixTimes;
    std::map<Tool, std::vector<double>> restoreTimes;
    std::map<Tool, double> fixPeakMiB;
    std::map<Tool, double> restorePeakMiB;
    std::string gioRestoreSkipped; // why, when gio's putting back was not timed
    // Rounds in which gio's putting back was stopped at the time limit, and what it had put
    // back by then.
    int gioRestoreCut = 0;
    std::string gioRestoreCutBack;
    std::optional<double> removalFloorSeconds; // at the largest size only
};

std::string trashOf(const SyntheticLibrary& library) {
    return library.home + "/.local/share/Trash";
}

std::vector<std::string> homeEnvironment(const SyntheticLibrary& library) {
    return {"HOME=" + library.home, "XDG_DATA_HOME=" + library.home + "/.local/share"};
}

// A Library whose target owns `count` per-host preference files, all in one folder, and no
// other entry.
SyntheticLibrary buildEntries(Run& run, std::size_t count, const std::string& name) {
    LibraryShape shape;
    shape.identifier = kTarget;
    shape.targetByHostFiles = count;
    shape.entries = 1000 + count;
    SyntheticLibrary library = SyntheticLibrary::build((run.scratch / name).string(), shape);
    leave(run, library.home);
    if (!library.stateMatches.empty() || library.preferenceMatches.size() != count ||
        SyntheticLibrary::topmost(library.preferenceMatches).size() != count) {
        throw std::logic_error("the Library of separate entries has " +
                               std::to_string(library.preferenceMatches.size()) + " matches");
    }
    const fs::path folder = fs::path(library.preferenceMatches.front()).parent_path();
    for (const std::string& path : library.preferenceMatches) {
        if (fs::path(path).parent_path() != folder) {
            throw std::logic_error(path + " is not in " + folder.string());
        }
    }
    return library;
}

// Runs one side. At the largest size, where the peaks are reported, it is started by the minimal
// program's launcher, which reports the peak of the program it forks: started from here, a
// program shares this process's memory until its exec, and Linux counts that in its peak.
TimedProcess runSide(Run& run, const EntriesSize& size, const std::string& home,
                     std::vector<std::string> args, const std::vector<std::string>& environment,
                     bool keepOutput, const std::string& folder = {}, double timeout = 0) {
    if (size.count < kScaleEntries) {
        return TimedProcess::run(args, environment, keepOutput, folder, timeout);
    }
    // A file of its own for each run: a peak left by an earlier run is never read for this one.
    static int runs = 0;
    const std::string file = home + "/peak-kib-" + std::to_string(++runs);
    const std::string program = args.front();
    args.insert(args.begin(), {run.binDir + "/corvane-bench-minimal", "peak", file});
    TimedProcess p = TimedProcess::run(args, environment, keepOutput, folder, timeout);
    double kib = 0;
    std::ifstream(file) >> kib;
    // No figure is better than a peak of nothing, which would meet any goal.
    if (kib <= 0) {
        run.problems.push_back("no peak memory came back from " + program);
    }
    p.peakMiB = kib / 1024.0;
    return p;
}

// Moves one fresh Library's entries to the Trash with `tool`, timed; returns the seconds.
double trashOnce(Run& run, EntriesSize& size, Trial& trial) {
    const SyntheticLibrary& library = trial.library;
    const std::string what = "moving " + std::to_string(size.count) + " entries to the Trash (" +
                             toolName(trial.tool) + ")";
    std::vector<std::string> args;
    std::vector<std::string> environment;
    std::string folder;
    switch (trial.tool) {
    case Tool::Ours:
        args = {run.binDir + "/corvane-bench-run", "fix", library.home, kTarget};
        break;
    case Tool::Minimal: {
        const std::string list = library.home + "/minimal-list";
        std::ofstream out(list);
        for (const std::string& path : library.preferenceMatches) {
            out << path << '\n';
        }
        args = {run.binDir + "/corvane-bench-minimal", "trash", trashOf(library),
                library.home + "/minimal-journal", list};
        break;
    }
    case Tool::Gio:
        // Names relative to their folder keep 20,000 of them within one command line. gio
        // without the gvfs module: moving a local file to the Trash needs no daemon.
        folder = fs::path(library.preferenceMatches.front()).parent_path().string();
        args = {"/usr/bin/gio", "trash"};
        for (const std::string& path : library.preferenceMatches) {
            args.push_back(fs::path(path).filename().string());
        }
        environment = homeEnvironment(library);
        environment.emplace_back("GIO_USE_VFS=local");
        break;
    }
    settleCaches(run);
    const TimedProcess p = runSide(run, size, library.home, args, environment, true, folder);
    std::fprintf(stderr, "  %s: %.4f s\n", what.c_str(), p.seconds);
    std::string problem = p.exitCode != 0 ? "exit code " + std::to_string(p.exitCode) : "";
    if (trial.tool == Tool::Ours) {
        const FixOutput out = parseFix(p.output, library.home);
        if (!out.clean() || out.trashed != size.count) {
            problem += " printed '" + p.output + "'";
        }
    } else if (trial.tool == Tool::Minimal &&
               p.output != "trashed " + std::to_string(size.count) + " failed 0\n") {
        problem += " printed '" + p.output + "'";
    }
    if (problem.empty()) {
        problem = trashProblem(library.home, library.preferenceMatches);
    }
    if (!problem.empty()) {
        run.problems.push_back(what + ": " + problem);
    }
    trial.trashed = problem.empty();
    size.fixPeakMiB[trial.tool] = std::max(size.fixPeakMiB[trial.tool], p.peakMiB);
    sync(); // the next side should not pay for writing back this one's Trash
    return p.seconds;
}

// A session bus of its own for one Library's home, on which gvfsd (with its Trash backend,
// gvfsd-trash) is started by asking for the Trash once; none, and `why` set, when gvfs is
// missing or does not answer.
std::unique_ptr<HelperProcess> gvfsSession(const SyntheticLibrary& library, std::string& why) {
    for (const char* program :
         {"/usr/bin/dbus-daemon", "/usr/libexec/gvfsd", "/usr/libexec/gvfsd-trash"}) {
        if (access(program, X_OK) != 0) {
            why = std::string(program) + " is not installed (scripts/bench-deps.sh installs gvfs)";
            return nullptr;
        }
    }
    // The bus starts gvfsd with its own environment, so it is given the Library's home.
    std::unique_ptr<HelperProcess> bus =
        HelperProcess::start({"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address=3"},
                             30, homeEnvironment(library));
    if (!bus) {
        why = "dbus-daemon did not start";
        return nullptr;
    }
    std::vector<std::string> environment = homeEnvironment(library);
    environment.push_back("DBUS_SESSION_BUS_ADDRESS=" + bus->line());
    const TimedProcess mounted =
        TimedProcess::run({"/usr/bin/gio", "info", "trash:///"}, environment, true);
    if (mounted.exitCode != 0) {
        why = "gvfsd did not mount trash:/// on the benchmark's session bus";
        return nullptr;
    }
    return bus;
}

// Puts back one Library's entries with the tool that trashed them, timed; none when that
// could not be timed.
std::optional<double> restoreEntriesOnce(Run& run, EntriesSize& size, Trial& trial) {
    const SyntheticLibrary& library = trial.library;
    const std::string what =
        "putting back " + std::to_string(size.count) + " entries (" + toolName(trial.tool) + ")";
    std::vector<std::string> args;
    std::vector<std::string> environment;
    std::unique_ptr<HelperProcess> session;
    switch (trial.tool) {
    case Tool::Ours:
        args = {run.binDir + "/corvane-bench-run", "restore", library.home, kTarget};
        break;
    case Tool::Minimal:
        args = {run.binDir + "/corvane-bench-minimal", "restore", trashOf(library),
                library.home + "/minimal-journal"};
        break;
    case Tool::Gio:
        session = gvfsSession(library, size.gioRestoreSkipped);
        if (!session) {
            return std::nullopt;
        }
        args = {"/usr/bin/gio", "trash", "--restore"};
        for (const fs::directory_entry& entry :
             fs::directory_iterator(trashOf(library) + "/files")) {
            args.push_back("trash:///" + percentEncoded(entry.path().filename().string()));
        }
        environment = homeEnvironment(library);
        environment.push_back("DBUS_SESSION_BUS_ADDRESS=" + session->line());
        break;
    }
    settleCaches(run);
    const bool gio = trial.tool == Tool::Gio;
    // Long enough for a stopped run to still decide the goal against Corvane's restore.
    const std::vector<double>& ours = size.restoreTimes[Tool::Ours];
    const double limit = std::max(
        run.gioLimitSeconds, ours.empty() ? 0.0 : 3 * *std::max_element(ours.begin(), ours.end()));
    const TimedProcess p =
        runSide(run, size, library.home, args, environment, !gio, {}, gio ? limit : 0.0);
    session.reset(); // gvfsd and its backend leave with their bus
    std::fprintf(stderr, "  %s: %.4f s%s\n", what.c_str(), p.seconds,
                 p.timedOut ? " (stopped at the time limit)" : "");
    if (p.timedOut) {
        const std::size_t left = trashContent(library.home).files;
        ++size.gioRestoreCut;
        size.gioRestoreCutBack += (size.gioRestoreCutBack.empty() ? "" : ", ") +
                                  std::to_string(size.count - left) + " after " +
                                  std::to_string(static_cast<int>(p.seconds)) + " s";
        return p.seconds;
    }
    std::string problem = p.exitCode != 0 ? "exit code " + std::to_string(p.exitCode) : "";
    if (trial.tool == Tool::Ours) {
        const RestoreOutput out = parseRestore(p.output);
        if (out.restored != static_cast<int>(size.count) || out.ending != "done" ||
            out.asked != 0 || out.refused != 0) {
            problem += " printed '" + p.output + "'";
        }
    } else if (trial.tool == Tool::Minimal &&
               (p.output != "restored " + std::to_string(size.count) + " refused 0\n" ||
                anyExists({library.home + "/minimal-journal"}))) {
        problem += " printed '" + p.output + "' or left its journal";
    }
    const TrashContent trash = trashContent(library.home);
    if (!allExist(library.preferenceMatches) || trash.files != 0 || trash.info != 0) {
        problem += " left the Trash with " + std::to_string(trash.files) + " items and " +
                   std::to_string(trash.info) + " info files";
    }
    if (!problem.empty()) {
        run.problems.push_back(what + ":" + problem);
    }
    size.restorePeakMiB[trial.tool] = std::max(size.restorePeakMiB[trial.tool], p.peakMiB);
    sync();
    return p.seconds;
}

// The order the sides go in, in round `round`: each round starts one side later.
std::vector<std::size_t> rotation(std::size_t sides, int round) {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < sides; ++i) {
        order.push_back((i + static_cast<std::size_t>(round)) % sides);
    }
    return order;
}

// Every side's move to the Trash, round after round, each on a Library built fresh for it.
// Nothing is deleted meanwhile: on ext4 without a journal, files made soon after many were
// freed cost several times more.
void trashRounds(Run& run, EntriesSize& size) {
    size.trials.assign(static_cast<std::size_t>(size.rounds), {});
    for (int round = 0; round < size.rounds; ++round) {
        std::vector<Trial>& trials = size.trials[static_cast<std::size_t>(round)];
        trials.resize(size.tools.size());
        for (const std::size_t side : rotation(size.tools.size(), round)) {
            Trial& trial = trials[side];
            trial.tool = size.tools[side];
            trial.library = buildEntries(run, size.count,
                                         "entries-" + std::to_string(size.count) + "-" +
                                             toolName(trial.tool) + "-" + std::to_string(round));
            size.fixTimes[trial.tool].push_back(trashOnce(run, size, trial));
        }
    }
}

// Every side puts back what it moved in its rounds, in the same rotation.
void restoreRounds(Run& run, EntriesSize& size) {
    for (int round = 0; round < size.rounds; ++round) {
        for (const std::size_t side : rotation(size.tools.size(), round)) {
            Trial& trial = size.trials[static_cast<std::size_t>(round)][side];
            if (!trial.trashed) {
                continue;
            }
            const std::optional<double> seconds = restoreEntriesOnce(run, size, trial);
            if (seconds) {
                size.restoreTimes[trial.tool].push_back(*seconds);
            }
        }
    }
}

void addFigure(Run& run, const std::string& name, const std::vector<double>& ours,
               const std::vector<double>& reference, double goal,
               const std::string& referenceCut = {}) {
    if (ours.empty() || reference.empty()) {
        run.problems.push_back(name + " has no timed run on one of its sides");
        return;
    }
    Figure figure{name, median(ours), median(reference), goal};
    figure.referenceCut = referenceCut;
    print(figure);
    run.figures.push_back(figure);
}

void peakLine(Run& run, const std::string& name, double oursMiB, double minimalMiB) {
    std::printf("%s: peak %.1f MiB\n", name.c_str(), oursMiB);
    std::fflush(stdout);
    run.peaks.push_back({name, oursMiB, minimalMiB});
}

// The figures of one size: Corvane against the minimal programs and against gio, the reset and
// the restore apart, and at the largest size the peak memory of each and the two against each
// other.
void entriesFigures(Run& run, const EntriesSize& size) {
    const std::string suffix = std::to_string(size.count) + "-entries";
    const bool many = size.count > 1;
    const auto times = [](const std::map<Tool, std::vector<double>>& all, Tool tool) {
        const auto found = all.find(tool);
        return found == all.end() ? std::vector<double>{} : found->second;
    };
    const std::vector<double> fixOurs = times(size.fixTimes, Tool::Ours);
    const std::vector<double> restoreOurs = times(size.restoreTimes, Tool::Ours);
    addFigure(run, "fix-" + suffix, fixOurs, times(size.fixTimes, Tool::Minimal),
              many ? kEntriesMinimalGoal : 0.0);
    const bool gio = std::find(size.tools.begin(), size.tools.end(), Tool::Gio) != size.tools.end();
    if (gio) {
        addFigure(run, "fix-" + suffix + "-gio", fixOurs, times(size.fixTimes, Tool::Gio),
                  many ? kFixGioGoal : kOneEntryFixGioGoal);
    }
    addFigure(run, "restore-" + suffix, restoreOurs, times(size.restoreTimes, Tool::Minimal),
              many ? kEntriesMinimalGoal : 0.0);
    if (gio && !size.gioRestoreSkipped.empty()) {
        std::printf("restore-%s-gio: skipped, %s\n", suffix.c_str(),
                    size.gioRestoreSkipped.c_str());
        run.notes.push_back("restore-" + suffix + "-gio was skipped: " + size.gioRestoreSkipped);
    } else if (gio) {
        std::string cut;
        if (size.gioRestoreCut > 0) {
            cut = "gio was stopped at its time limit in " + std::to_string(size.gioRestoreCut) +
                  " of " + std::to_string(size.rounds) + " rounds, with " + size.gioRestoreCutBack +
                  " of the " + std::to_string(size.count) + " entries back";
        }
        addFigure(run, "restore-" + suffix + "-gio", restoreOurs,
                  times(size.restoreTimes, Tool::Gio), many ? kRestoreGioGoal : 0.0, cut);
    }
    if (size.count >= kScaleEntries) {
        const auto peak = [](const std::map<Tool, double>& all, Tool tool) {
            const auto found = all.find(tool);
            return found == all.end() ? 0.0 : found->second;
        };
        peakLine(run, "memory-fix-" + suffix, peak(size.fixPeakMiB, Tool::Ours),
                 peak(size.fixPeakMiB, Tool::Minimal));
        peakLine(run, "memory-restore-" + suffix, peak(size.restorePeakMiB, Tool::Ours),
                 peak(size.restorePeakMiB, Tool::Minimal));
        // Putting back is one rename and one unlink an entry where the reset made a file too.
        addFigure(run, "restore-" + suffix + "-against-fix", restoreOurs, fixOurs,
                  kRestoreAgainstFixGoal);
        if (size.removalFloorSeconds && !fixOurs.empty()) {
            char text[320];
            std::snprintf(text, sizeof text,
                          "removal-floor-%s: %.4f s to unlink %zu info-sized files alone, %d at "
                          "a time (Corvane's reset of as many: %.4f s)",
                          suffix.c_str(), *size.removalFloorSeconds, size.count,
                          corvane::BackgroundRemovals::kDefaultThreads, median(fixOurs));
            std::printf("%s\n", text);
            std::fflush(stdout);
            run.notes.push_back(std::string(text) +
                                ". Putting back removes one info file an entry, and every unlink "
                                "here waits for the device to discard the file's block");
        }
    }
}

// A yardstick that cuts corners measures nothing: before it is timed, the minimal program must
// take a free name when the entry's own is taken in the Trash, encode its Path, and on the way
// back refuse an item that is not the one it moved while putting back the rest. Returns what
// went wrong; empty when nothing did.
std::string minimalProblem(Run& run) {
    const fs::path home = run.scratch / "minimal-check";
    const fs::path folder = home / "Library/Preferences";
    const fs::path trash = home / ".local/share/Trash";
    fs::create_directories(folder);
    fs::create_directories(trash / "info");
    leave(run, home.string());
    const std::vector<std::string> originals = {(folder / "taken.plist").string(),
                                                (folder / "a b%c.plist").string(),
                                                (folder / "replaced.plist").string()};
    std::ofstream list((home / "list").string());
    for (const std::string& path : originals) {
        std::ofstream(path) << path;
        list << path << '\n';
    }
    list.close();
    std::ofstream(trash / "info/taken.plist.trashinfo") << "someone else's";
    const std::string minimal = run.binDir + "/corvane-bench-minimal";
    const std::string journal = (home / "journal").string();
    const TimedProcess trashed = TimedProcess::run(
        {minimal, "trash", trash.string(), journal, (home / "list").string()}, {}, true);
    std::ifstream encoded(trash / "info/a b%c.plist.trashinfo");
    const std::string info((std::istreambuf_iterator<char>(encoded)),
                           std::istreambuf_iterator<char>());
    if (trashed.output != "trashed 3 failed 0\n" || anyExists(originals) ||
        !anyExists({(trash / "files/taken.plist.2").string()}) ||
        info.find("\nPath=" + (folder / "a%20b%25c.plist").string() + "\n") == std::string::npos) {
        return "its move to the Trash printed '" + trashed.output + "' and wrote '" + info + "'";
    }
    fs::remove(trash / "info/taken.plist.trashinfo");
    // Another item of the same size under the moved one's name: not ours to put back.
    fs::remove(trash / "files/replaced.plist");
    std::ofstream(trash / "files/replaced.plist") << originals[2];
    const TimedProcess restored =
        TimedProcess::run({minimal, "restore", trash.string(), journal}, {}, true);
    if (restored.output != "restored 2 refused 1\n" || restored.exitCode != 1 ||
        !allExist({originals[0], originals[1]}) || anyExists({originals[2]}) ||
        !anyExists({journal})) {
        return "its putting back printed '" + restored.output + "'";
    }
    return {};
}

// What any putting back of `count` entries pays on this mount before it does anything else:
// unlinking that many info files, on as many threads as Corvane's restore uses. Timed last,
// since it deletes many files, on files made for it alone and of an info file's size.
void removalFloor(Run& run, EntriesSize& size) {
    const fs::path folder = run.scratch / ("removal-floor-" + std::to_string(size.count));
    fs::create_directories(folder);
    leave(run, folder.string());
    const std::string list = (folder / "list").string();
    {
        std::ofstream paths(list);
        const std::string text = "[Trash Info]\nPath=" + folder.string() +
                                 "/Library/Preferences/ByHost/" + kTarget +
                                 ".00000000.plist\nDeletionDate=2026-01-01T00:00:00\n";
        for (std::size_t i = 0; i < size.count; ++i) {
            const fs::path path = folder / (std::to_string(i) + ".trashinfo");
            std::ofstream(path) << text;
            paths << path.string() << '\n';
        }
    }
    settleCaches(run);
    const TimedProcess p =
        TimedProcess::run({run.binDir + "/corvane-bench-minimal", "remove", list,
                           std::to_string(corvane::BackgroundRemovals::kDefaultThreads)},
                          {}, true);
    // A floor that left files behind would be lower than the work it stands for.
    const auto left = std::count_if(
        fs::directory_iterator(folder), fs::directory_iterator(),
        [](const fs::directory_entry& entry) { return entry.path().extension() == ".trashinfo"; });
    if (p.exitCode != 0 || left != 0) {
        run.problems.push_back("the removal floor left " + std::to_string(left) +
                               " files: " + p.output);
        return;
    }
    size.removalFloorSeconds = p.seconds;
}

// Separate entries at every size, against the minimal programs (and gio where given): first
// every move to the Trash, then every putting back, each side on a Library of its own built
// fresh, so that no timed run follows the deletion of many files.
void separateEntries(Run& run, std::vector<EntriesSize>& sizes) {
    if (sizes.empty()) {
        return;
    }
    if (const std::string problem = minimalProblem(run); !problem.empty()) {
        run.problems.push_back("the minimal program is not a correct yardstick: " + problem);
        return;
    }
    std::printf("minimal program: takes a free name, encodes its Path, refuses another item\n");
    std::fflush(stdout);
    for (EntriesSize& size : sizes) {
        trashRounds(run, size);
    }
    for (EntriesSize& size : sizes) {
        restoreRounds(run, size);
    }
    for (EntriesSize& size : sizes) {
        if (size.count >= kScaleEntries) {
            removalFloor(run, size);
        }
    }
    for (const EntriesSize& size : sizes) {
        entriesFigures(run, size);
    }
}

// Hard Safari reset: the Safari folder, Safari's preference and saved-state entries, and its
// entries among 50,000 in Caches and in Cookies; against rm -rf of the Safari folder and
// find ... -exec rm -rf over the other folders.
void safariHard(Run& run, std::size_t caches) {
    LibraryShape shape;
    shape.identifier = kSafari;
    shape.entries = 10000;
    shape.cachesEntries = caches;
    shape.safariEntries = 500;
    int round = 0;
    const auto build = [&](const char* side) {
        const fs::path home =
            run.scratch / ("safari-" + std::string(side) + "-" + std::to_string(round));
        SyntheticLibrary library = SyntheticLibrary::build(home.string(), shape);
        settle(run);
        return library;
    };
    const auto gone = [](const SyntheticLibrary& library) {
        return !anyExists({library.library + "/Safari"}) && !anyExists(library.preferenceMatches) &&
               !anyExists(library.stateMatches) && !anyExists(library.cacheMatches);
    };
    const auto ours = [&] {
        const SyntheticLibrary library = build("ours");
        const TimedProcess p = TimedProcess::run(
            {run.binDir + "/corvane-bench-run", "fix", library.home, kSafari}, {}, true);
        const FixOutput out = parseFix(p.output, library.home);
        if (p.exitCode != 0 || !gone(library) || out.trashed == 0 || out.asked != 0 ||
            out.refused != 0) {
            run.problems.push_back("Hard Safari reset left entries or met a question: " + p.output);
        }
        leave(run, library.home);
        return p.seconds;
    };
    const auto reference = [&] {
        const SyntheticLibrary library = build("rm");
        const std::string lib = library.library;
        const auto removeOwned = [&](std::vector<std::string> args, bool ignoreCase) {
            const std::vector<std::string> owned = ownedEntries(kSafari, ignoreCase, true);
            args.insert(args.end(), owned.begin(), owned.end());
            args.insert(args.end(), {"-exec", "/bin/rm", "-rf", "{}", "+"});
            return TimedProcess::run(args).seconds;
        };
        double seconds = TimedProcess::run({"/bin/rm", "-rf", lib + "/Safari"}).seconds;
        seconds += removeOwned(
            {"/usr/bin/find", lib + "/Preferences", lib + "/Saved Application State"}, false);
        seconds += removeOwned({"/usr/bin/find", lib + "/Caches", lib + "/Cookies"}, true);
        if (!gone(library)) {
            run.problems.push_back("reference Hard Safari reset left entries");
        }
        leave(run, library.home);
        ++round;
        return seconds;
    };
    // Each round builds two 60,000-entry Libraries, which takes minutes here: fewer rounds.
    const auto [oursTime, referenceTime] = alternate(std::max(1, run.rounds / 4), ours, reference);
    Figure figure{"safari-hard-" + std::to_string(caches), oursTime, referenceTime, 0.0};
    print(figure);
    run.figures.push_back(figure);
}

// From starting the program to its window's first paint, and the memory resident then, against
// a window with the same widgets, texts, images and menus that does no start-up work at all
// (corvane-bench-window), in alternating rounds, on a display server and a session bus of their
// own. The home holds the record of a reset whose entries are still in the Trash, so that
// Restore has something to offer at launch.
void startup(Run& run, int rounds) {
    const std::unique_ptr<HelperProcess> display = HelperProcess::start(
        {"/usr/bin/Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"},
        30);
    const std::unique_ptr<HelperProcess> bus = HelperProcess::start(
        {"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address=3"}, 30);
    if (!display || !bus) {
        run.problems.push_back("startup needs Xvfb and dbus-daemon (scripts/install-deps.sh "
                               "installs them)");
        return;
    }
    LibraryShape shape;
    shape.identifier = kTarget;
    shape.targetByHostFiles = kStartupRecordEntries;
    shape.entries = 1000 + kStartupRecordEntries;
    std::size_t trashed = 0;
    const SyntheticLibrary library = fixedLibrary(
        run, SyntheticLibrary::build((run.scratch / "startup").string(), shape), kTarget, trashed);
    if (trashed != kStartupRecordEntries) {
        run.problems.push_back("the fix before the start-up runs trashed " +
                               std::to_string(trashed));
    }
    const std::vector<std::string> environment = {
        "DISPLAY=:" + display->line(), "DBUS_SESSION_BUS_ADDRESS=" + bus->line(),
        "HOME=" + library.home, "XDG_DATA_HOME=" + library.home + "/.local/share",
        "QT_QPA_PLATFORM=xcb"};
    std::vector<double> oursMiB;
    std::vector<double> referenceMiB;
    const auto side = [&](const std::string& program, std::vector<double>& resident) {
        return [&run, &environment, &resident, program] {
            const FirstPaint p = FirstPaint::run({program}, environment, 30);
            if (!p.recorded) {
                run.problems.push_back(program + " recorded no first paint");
            }
            resident.push_back(p.residentMiB);
            return p.seconds;
        };
    };
    // The program itself lies one folder up from the benchmarks.
    const auto ours = side(fs::path(run.binDir).parent_path() / "corvane", oursMiB);
    const auto reference = side(run.binDir + "/corvane-bench-window", referenceMiB);
    ours(); // warm the page cache, the font cache and the loader for both sides before timing
    reference();
    oursMiB.clear();
    referenceMiB.clear();
    const auto [oursTime, referenceTime] = alternate(rounds, ours, reference);
    Figure figure{"startup", oursTime, referenceTime, kStartupGoal};
    print(figure);
    run.figures.push_back(figure);
    run.startupMiB = median(oursMiB);
    run.startupReferenceMiB = median(referenceMiB);
    std::printf("startup-memory: ours %.1f MiB, reference %.1f MiB, difference %+.1f MiB\n",
                run.startupMiB, run.startupReferenceMiB, run.startupMiB - run.startupReferenceMiB);
    std::fflush(stdout);
    leave(run, library.home);
}

// A home with many Linux desktop applications: each one's desktop file (exported by Flatpak),
// its ~/.var/app folder, XDG folders named by its id, and its settings among a dconf database
// of kLinuxKeys keys, served by a session bus and dconf service of the benchmark's own.
constexpr int kLinuxApplications = 300;
constexpr int kLinuxKeys = 50000;
// Corvane's list of one application against the system's tools reading the same: `dconf dump`
// of its settings folder and `find` of its folders.
constexpr double kLinuxAnalysisGoal = 1.0;
constexpr double kApplicationListGoalMs = 100;

std::string linuxId(int i) {
    return "org.example.App" + std::to_string(i);
}

void writeFile(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

void linuxApplications(Run& run) {
    const fs::path home = run.scratch / "linux";
    const fs::path runtime = run.scratch / "linux-runtime";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    const fs::path exports = home / ".local/share/flatpak/exports/share/applications";
    std::ostringstream keys;
    int written = 0;
    for (int i = 0; i < kLinuxApplications; ++i) {
        const std::string id = linuxId(i);
        // Every other one a Flatpak; every one has left folders in both places.
        const bool flatpak = i % 2 == 0;
        writeFile((flatpak ? exports : home / ".local/share/applications") / (id + ".desktop"),
                  "[Desktop Entry]\nType=Application\nName=Application " + std::to_string(i) +
                      "\nIcon=" + id + "\nExec=" +
                      (flatpak ? "/usr/bin/flatpak run " + id + "\nX-Flatpak=" + id
                               : "/usr/bin/app" + std::to_string(i)) +
                      "\n");
        const fs::path sandbox = home / ".var/app" / id;
        for (const char* folder : {"config", "cache", ".local/state", "data"}) {
            for (int f = 0; f < 5; ++f) {
                writeFile(sandbox / folder / ("file" + std::to_string(f)), "x");
            }
        }
        for (const char* folder : {".config", ".cache", ".local/state", ".local/share"}) {
            writeFile(home / folder / id / "settings.ini", "[a]\nb=1\n");
        }
        std::string path = id;
        std::replace(path.begin(), path.end(), '.', '/');
        keys << "[" << path << "]\n";
        for (int k = 0; k < kLinuxKeys / kLinuxApplications - 10; ++k, ++written) {
            keys << "key" << k << "=" << k << "\n";
        }
        keys << "\n";
    }
    // The rest of the database belongs to no application of the list.
    for (int folder = 0; written < kLinuxKeys; ++folder) {
        keys << "[org/example/desktop/part" << folder << "]\n";
        for (int k = 0; k < 100 && written < kLinuxKeys; ++k, ++written) {
            keys << "key" << k << "='value'\n";
        }
        keys << "\n";
    }
    writeFile(run.scratch / "linux-keys.ini", keys.str());

    std::vector<std::string> environment = {"HOME=" + home.string(),
                                            "XDG_CONFIG_HOME=" + (home / ".config").string(),
                                            "XDG_CACHE_HOME=" + (home / ".cache").string(),
                                            "XDG_STATE_HOME=" + (home / ".local/state").string(),
                                            "XDG_DATA_HOME=" + (home / ".local/share").string(),
                                            "XDG_DATA_DIRS=" + (home / "system").string(),
                                            "XDG_RUNTIME_DIR=" + runtime.string()};
    // The bus starts the dconf service with its own environment: the home's, or the service
    // would write to the user's own database.
    const std::unique_ptr<HelperProcess> bus = HelperProcess::start(
        {"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address=3"}, 30, environment);
    if (!bus) {
        run.problems.push_back("the Linux applications part needs dbus-daemon");
        return;
    }
    environment.push_back("DBUS_SESSION_BUS_ADDRESS=" + bus->line());
    const TimedProcess load = TimedProcess::run(
        {"/bin/sh", "-c", "dconf load / < \"$0\"", (run.scratch / "linux-keys.ini").string()},
        environment);
    if (load.exitCode != 0) {
        run.problems.push_back("dconf load of " + std::to_string(kLinuxKeys) + " keys failed");
        return;
    }
    sync();

    const std::string corvane = (fs::path(run.binDir).parent_path() / "corvane").string();
    // One Flatpak and one host package: the sandbox's folders or the base folders, and the
    // settings database for both.
    for (const int i : {kLinuxApplications / 2, kLinuxApplications / 2 + 1}) {
        const std::string id = linuxId(i);
        const bool flatpak = i % 2 == 0;
        std::string settingsFolder = "/" + id + "/";
        std::replace(settingsFolder.begin(), settingsFolder.end(), '.', '/');
        const fs::path sandbox = home / ".var/app" / id;
        const std::vector<std::string> folders =
            flatpak ? std::vector<std::string>{(sandbox / "config").string(),
                                               (sandbox / ".local/state").string(),
                                               (sandbox / "cache").string()}
                    : std::vector<std::string>{(home / ".config" / id).string(),
                                               (home / ".local/state" / id).string(),
                                               (home / ".cache" / id).string()};
        const auto ours = [&] {
            const TimedProcess p =
                TimedProcess::run({corvane, "--list", "--json", id}, environment, true);
            for (const std::string& wanted : {settingsFolder, folders.front()}) {
                if (p.exitCode != 0 || p.output.find("\"" + wanted) == std::string::npos) {
                    run.problems.push_back("corvane --list " + id + " did not list " + wanted);
                    break;
                }
            }
            return p.seconds;
        };
        std::vector<std::string> findArgs = {"/usr/bin/find"};
        findArgs.insert(findArgs.end(), folders.begin(), folders.end());
        const auto reference = [&] {
            const TimedProcess dump =
                TimedProcess::run({"/usr/bin/dconf", "dump", settingsFolder}, environment, true);
            const TimedProcess find = TimedProcess::run(findArgs, environment, true);
            if (dump.exitCode != 0 || countLines(dump.output) < 2 || find.exitCode != 0) {
                run.problems.push_back("dconf dump or find of " + id + " failed");
            }
            return dump.seconds + find.seconds;
        };
        ours();
        reference();
        const auto [oursTime, referenceTime] = alternate(run.rounds * 2 + 1, ours, reference);
        Figure figure{std::string("linux-analysis-") + (flatpak ? "flatpak" : "host") + "-of-" +
                          std::to_string(kLinuxApplications),
                      oursTime, referenceTime, kLinuxAnalysisGoal};
        print(figure);
        run.figures.push_back(figure);
    }

    // The window's list of the same applications, on the offscreen platform.
    std::vector<std::string> listEnvironment = environment;
    listEnvironment.push_back("QT_QPA_PLATFORM=offscreen");
    const TimedProcess list =
        TimedProcess::run({run.binDir + "/corvane-bench-applications",
                           std::to_string(kLinuxApplications), std::to_string(run.rounds * 2 + 1)},
                          listEnvironment, true);
    const std::size_t at = list.output.find("ready in ");
    if (list.exitCode != 0 || at == std::string::npos) {
        run.problems.push_back("the list of installed applications did not show: " + list.output);
        return;
    }
    const double ms = std::atof(list.output.c_str() + at + 9);
    std::printf("%s", list.output.c_str());
    std::fflush(stdout);
    char note[160];
    std::snprintf(note, sizeof note,
                  "the window's list of %d installed applications was ready in %.1f ms "
                  "(goal: within %.0f ms): %s",
                  kLinuxApplications, ms, kApplicationListGoalMs,
                  ms <= kApplicationListGoalMs ? "met" : "MISSED");
    run.notes.push_back(note);
    if (ms > kApplicationListGoalMs) {
        run.problems.push_back(note);
    }
    leave(run, home.string());
}

// Cost per entry between the sizes: a linear walk keeps it roughly constant.
void growth(Run& run) {
    std::vector<const Figure*> sizes;
    for (const Figure& figure : run.figures) {
        if (figure.name.rfind("analysis-", 0) == 0) {
            sizes.push_back(&figure);
        }
    }
    if (sizes.size() < 3) {
        return;
    }
    const auto entries = [](const Figure* f) { return std::stod(f->name.substr(9)); };
    const auto perEntry = [&](const Figure* a, const Figure* b, double Figure::*side) {
        return (b->*side - a->*side) / (entries(b) - entries(a)) * 1e6;
    };
    const double ours1 = perEntry(sizes[0], sizes[1], &Figure::ours);
    const double ours2 = perEntry(sizes[1], sizes[2], &Figure::ours);
    const double ref1 = perEntry(sizes[0], sizes[1], &Figure::reference);
    const double ref2 = perEntry(sizes[1], sizes[2], &Figure::reference);
    const double change = ours2 / ours1;
    const bool linear = change > 0.5 && change < 2.0;
    std::ostringstream text;
    text.precision(2);
    text << std::fixed << "ours " << ours1
         << " us per added entry from 1,000 to 10,000 entries and " << ours2
         << " us from 10,000 to 100,000 (find: " << ref1 << " and " << ref2 << " us); "
         << (linear ? "the cost grows linearly with the size"
                    : "the cost does NOT grow linearly with the size");
    run.growth = text.str();
    std::printf("analysis-growth: %s\n", run.growth.c_str());
    if (!linear) {
        run.problems.push_back("analysis cost does not grow linearly");
    }
}

std::string machine() {
    std::string model = "unknown processor";
    std::ifstream cpu("/proc/cpuinfo");
    for (std::string line; std::getline(cpu, line);) {
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    }
    utsname name{};
    uname(&name);
    std::ostringstream text;
    text << model << ", " << std::thread::hardware_concurrency() << " cores, " << name.sysname
         << " " << name.release << " " << name.machine;
    return text.str();
}

// The kind of file system `folder` is on. Ext4 without a journal is told apart: it passes over
// inodes freed in the last minute when it makes a file, so there every file a fix creates after
// the benchmark's own deletions costs more than elsewhere.
std::string fileSystemOf(const fs::path& folder) {
    struct statfs info {};
    if (statfs(folder.c_str(), &info) != 0) {
        return "unknown";
    }
    switch (static_cast<unsigned long>(info.f_type)) {
    case 0xEF53: {
        struct stat st {};
        std::string task;
        std::error_code error;
        if (stat(folder.c_str(), &st) == 0) {
            const fs::path device =
                fs::read_symlink("/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" +
                                     std::to_string(minor(st.st_dev)),
                                 error);
            std::ifstream("/sys/fs/ext4/" + device.filename().string() + "/journal_task") >> task;
        }
        return task == "<none>" ? "ext4 without a journal" : "ext4";
    }
    case 0x01021994:
        return "tmpfs";
    case 0x9123683E:
        return "btrfs";
    case 0x58465342:
        return "xfs";
    case 0x794C7630:
        return "overlayfs";
    default: {
        char text[32];
        std::snprintf(text, sizeof text, "magic 0x%lX", static_cast<unsigned long>(info.f_type));
        return text;
    }
    }
}

// The mount `folder` lies on, as /proc/self/mountinfo gives it: "SOURCE on MOUNT POINT, TYPE,
// mount options ..., file system options ...".
std::string mountOf(const fs::path& folder) {
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0) {
        return "unknown";
    }
    const std::string device =
        std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
    const std::string path = fs::canonical(folder).string();
    std::ifstream in("/proc/self/mountinfo");
    std::string best;
    std::size_t bestLength = 0;
    for (std::string line; std::getline(in, line);) {
        // ID PARENT MAJOR:MINOR ROOT MOUNT-POINT OPTIONS [OPTIONAL...] - TYPE SOURCE SUPER-OPTIONS
        std::istringstream fields(line);
        std::string id, parent, numbers, root, point, options;
        fields >> id >> parent >> numbers >> root >> point >> options;
        const std::size_t dash = line.find(" - ");
        if (numbers != device || dash == std::string::npos) {
            continue;
        }
        const bool contains = path == point || point == "/" || path.rfind(point + "/", 0) == 0;
        if (!contains || point.size() < bestLength) {
            continue;
        }
        std::istringstream tail(line.substr(dash + 3));
        std::string type, source, super;
        tail >> type >> source >> super;
        best = source + " on " + point + ", " + type + ", mount options " + options +
               ", file system options " + super;
        bestLength = point.size();
    }
    return best.empty() ? "unknown" : best;
}

void writeMarkdown(const Run& run, const std::string& file) {
    char date[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
    std::ofstream out(file);
    out << "# Benchmarks\n\n"
        << "Written by `corvane_bench --markdown docs/benchmarks.md` (`make bench "
           "BENCH_FLAGS=\"--markdown docs/benchmarks.md\"`; plain `make bench` prints the same "
           "figures). Each side runs as a whole process; figures are medians of alternating "
           "rounds: "
        << run.rounds * 2 + 1 << " per analysis size after one warm-up run of each side, "
        << run.rounds << " for each fix and restore and for the separate entries up to 20,000, "
        << (run.scaleRounds > 0 ? run.scaleRounds : std::max(1, (run.rounds + 1) / 2))
        << " for 100,000 separate entries, " << std::max(1, run.rounds / 4)
        << " for the Hard Safari reset, each of those on a freshly built Library flushed to "
           "disk and left alone for "
        << run.restSeconds << " s before the timed run; " << run.rounds * 3
        << " for the start-up after one warm-up run of each side. Nothing is deleted until every "
           "timed run is over.\n\n"
        << "- Date: " << date << "\n- Run: `corvane_bench " << run.arguments << "`"
        << "\n- Machine: " << machine()
        << "\n- File system of the folder the Libraries are built in: " << run.fileSystem
        << "\n- Its mount: " << run.mount << "\n- Rest after each build: " << run.restSeconds
        << " s\n- Kernel dentry and inode caches dropped before each timed move of separate "
           "entries: "
        << (run.dropsCaches ? "yes" : "no")
        << "\n- One-minute load average when the run began: " << run.loadAverage << "\n\n"
        << "| Benchmark | Corvane | Reference | Ratio | Goal |\n"
        << "|---|---:|---:|---:|---|\n";
    char row[512];
    std::string notesAfterTable;
    for (const Figure& f : run.figures) {
        std::string goal = "-";
        if (f.goal > 0) {
            goal = "at most " + std::to_string(f.goal).substr(0, 3) + "x: " +
                   (f.ratio() <= f.goal      ? "met"
                    : f.referenceCut.empty() ? "MISSED"
                                             : "not shown (reference stopped)");
        }
        const char* atLeast = f.referenceCut.empty() ? "" : "at least ";
        const char* atMost = f.referenceCut.empty() ? "" : "at most ";
        std::snprintf(row, sizeof row, "| %s | %.4f s | %s%.4f s | %s%.2f | %s |\n", f.name.c_str(),
                      f.ours, atLeast, f.reference, atMost, f.ratio(), goal.c_str());
        out << row;
    }
    if (run.memoryMiB > 0) {
        std::snprintf(row, sizeof row,
                      "| memory-analysis-100000 (whole program with its window) | peak %.1f MiB | "
                      "| | under %.0f MiB: %s |\n",
                      run.memoryMiB, kMemoryGoalMiB,
                      run.memoryMiB < kMemoryGoalMiB ? "met" : "MISSED");
        out << row;
    }
    for (const Run::Peak& peak : run.peaks) {
        std::snprintf(row, sizeof row,
                      "| %s (peak resident) | %.1f MiB | %.1f MiB (minimal program) | | under "
                      "%.0f MiB: %s |\n",
                      peak.name.c_str(), peak.oursMiB, peak.minimalMiB, kScaleMemoryGoalMiB,
                      peak.oursMiB < kScaleMemoryGoalMiB ? "met" : "MISSED");
        out << row;
    }
    if (!run.peaks.empty()) {
        notesAfterTable += "Peak memory is the program's ru_maxrss as reported by "
                           "`corvane-bench-minimal peak`, a small launcher that forks it: started "
                           "by the benchmark itself, a program would count the benchmark's own "
                           "memory, which it shares until its exec, in its peak.\n\n";
    }
    if (run.startupMiB > 0) {
        const double extra = run.startupMiB - run.startupReferenceMiB;
        std::snprintf(row, sizeof row,
                      "| startup-memory (resident at the first paint) | %.1f MiB | %.1f MiB | "
                      "%+.1f MiB | at most +%.0f MiB: %s |\n",
                      run.startupMiB, run.startupReferenceMiB, extra, kStartupMemoryGoalMiB,
                      extra <= kStartupMemoryGoalMiB ? "met" : "MISSED");
        out << row;
    }
    out << "\n" << notesAfterTable;
    for (const std::string& note : run.notes) {
        out << "Note: " << note << ".\n\n";
    }
    for (const Figure& f : run.figures) {
        if (!f.referenceCut.empty()) {
            out << "Note: in `" << f.name << "` " << f.referenceCut
                << "; the reference is the time it had run by then.\n\n";
        }
    }
    out << "References: `analysis-N` is `find <Preferences> <Saved Application State>` with an "
           "expression for the target's own names and what lies beneath them on the same tree, N "
           "the entries in those two folders; `fix-10000` is one `rm -rf` given the topmost of "
           "the target's 10,000 matching entries; `restore-10000` is one `mv` of the target's "
           "saved-state folder (nearly all of those entries) back out of a Trash folder, against "
           "putting back the whole fix; `restore-10000-start-alone` is the same Corvane program "
           "started in the same state as for the restore but ending at once, against the same "
           "`mv`; `safari-hard-50000` is `rm -rf` of the Safari folder plus "
           "`find ... <own names> -prune -exec rm -rf {} +` over Preferences and Saved "
           "Application State (letter case significant) "
           "and over Caches and Cookies (ignoring case), three processes summed. Corvane's side "
           "of each fix includes the analysis that lists what it removes.\n\n"
        << "Separate entries: the target's own entries are N per-host preference files "
           "(`Preferences/ByHost/<identifier>.<8 hex digits>.plist`) in a Library of N + 1,000 "
           "entries. `fix-N-entries` is Corvane's fix (the analysis that finds them, the record, "
           "and each entry moved into the home's Trash) against `corvane-bench-minimal trash`, the "
           "least a correct move to the Trash does, given the N paths in a file: per entry an "
           "info file made with O_EXCL (Path percent-encoded, DeletionDate in local time made "
           "once a second), a rename into `Trash/files` with RENAME_NOREPLACE, one lstat of the "
           "moved item (what a restore needs to know it is still the same item) and a journal "
           "line by write(2); the journal is flushed with fsync every 256 lines and at the end. "
           "`restore-N-entries` is Corvane putting that reset back against "
           "`corvane-bench-minimal restore`: per entry the info file read and compared byte for "
           "byte with what was written, one lstat compared with the journal's, the rename back "
           "with RENAME_NOREPLACE and the info file unlinked. `fix-N-entries-gio` is "
           "`gio trash <the N names>` run in their folder (GIO_USE_VFS=local: moving a local "
           "file to the Trash needs no daemon); `restore-N-entries-gio` is `gio trash --restore "
           "<trash:///NAME for each>` on a session bus of the benchmark's own on which gvfsd and "
           "its Trash backend were started (by one `gio info trash:///`) for that run alone and "
           "stopped after it, since gvfsd watches the Trash; gvfsd-trash reads the whole Trash "
           "again for every entry put back, so a run still going after "
        << run.gioLimitSeconds
        << " s, or after three times Corvane's slowest restore of that size so far if that is "
           "longer, is stopped and its time counts as a lower bound. Every side is checked alike: "
           "after "
           "a move every entry is gone from its place and the Trash holds exactly one item and "
           "one info file for each, whose Path names it; after putting back every entry is in "
           "its place and the Trash is empty. All moves to the Trash of every size run first, "
           "then all the putting back, each side on its own Library, so that no timed run "
           "follows a mass deletion. At 100,000 entries `memory-fix-100000-entries` and "
           "`memory-restore-100000-entries` are Corvane's peak resident memory (the minimal "
           "program's beside it), and `restore-100000-entries-against-fix` holds Corvane's "
           "restore against its own reset. After every other timed run, "
           "`removal-floor-100000-entries` times `corvane-bench-minimal remove` unlinking as "
           "many files of an info file's size, made for it alone, on as many threads as "
           "Corvane's restore uses: what any putting back pays on this mount before its own "
           "work.\n\n"
        << "`startup` is the time "
           "from starting the program to the first paint of its window, and `startup-memory` "
           "the memory resident then, on an Xvfb display and a session bus of the benchmark's "
           "own, in a home whose latest reset record lists "
        << kStartupRecordEntries / 1000
        << ",000 entries still in the Trash (so Restore is offered at launch), against "
           "`corvane-bench-window`: the same window with the same widgets, texts, images and "
           "menus that does no start-up work (no record looked up, no notifications set up); "
           "both record the moment their window's first paint begins, in the same code.\n\n";
    out << "`linux-analysis-flatpak-of-" << kLinuxApplications << "` and `linux-analysis-host-of-"
        << kLinuxApplications << "` are `corvane --list --json ID` for one of "
        << kLinuxApplications
        << " installed applications, half of them Flatpaks, each with its desktop file, a "
           "`~/.var/app/ID` folder, `~/.config/ID`, `~/.cache/ID`, `~/.local/state/ID` and "
           "`~/.local/share/ID`, in a dconf database of "
        << kLinuxKeys
        << " keys on a session bus and dconf service of the benchmark's own, against `dconf "
           "dump` of its settings folder plus `find` of its three folders (the sandbox's for a "
           "Flatpak, the base folders' for a host package), two processes summed. The window's "
           "list of the same installed applications is timed from the menu "
           "command to the first paint of its rows, on Qt's offscreen platform.\n\n";
    if (run.fileSystem == "ext4 without a journal") {
        out << "Ext4 without a journal passes over inodes freed in the last minutes each time it "
               "makes a file, which makes creating files several times slower after many were "
               "deleted, and with `discard` every unlink waits for the device. The benchmark "
               "therefore builds every Library fresh, flushes it and rests before each timed "
               "run, and deletes nothing until the last timed run is over.\n\n";
    }
    if (run.dropsCaches) {
        out << "Before each timed move of separate entries, to the Trash and back, the kernel's "
               "dentry and inode caches are dropped (2 written to /proc/sys/vm/drop_caches): on "
               "this virtual machine a run that has to grow those caches while it is timed costs "
               "3-5 times its usual time, whichever side it falls on. Every side therefore starts "
               "with room in them, and looks up its tree's entries afresh.\n\n";
    }
    if (!run.growth.empty()) {
        out << "Growth: " << run.growth << ".\n";
    }
}

fs::path binaryFolder() {
    return fs::read_symlink("/proc/self/exe").parent_path();
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "generate-entries") {
        // The separate-entries shape, with the list the minimal program takes beside it.
        LibraryShape shape;
        shape.identifier = kTarget;
        shape.targetByHostFiles = std::strtoul(argv[3], nullptr, 10);
        shape.entries = 1000 + shape.targetByHostFiles;
        const SyntheticLibrary library = SyntheticLibrary::build(argv[2], shape);
        std::ofstream list(library.home + "/minimal-list");
        for (const std::string& path : library.preferenceMatches) {
            list << path << '\n';
        }
        std::printf("%zu entries, %zu matching\n", library.walkedEntries,
                    library.preferenceMatches.size());
        return 0;
    }
    if (argc >= 4 && std::string(argv[1]) == "generate") {
        LibraryShape shape;
        shape.entries = std::strtoul(argv[3], nullptr, 10);
        shape.identifier = argc > 4 ? argv[4] : kTarget;
        shape.cachesEntries = argc > 5 ? std::strtoul(argv[5], nullptr, 10) : 0;
        shape.safariEntries = shape.cachesEntries > 0 ? 500 : 0;
        const SyntheticLibrary library = SyntheticLibrary::build(argv[2], shape);
        std::printf("%zu entries, %zu matching\n", library.walkedEntries,
                    library.preferenceMatches.size() + library.stateMatches.size());
        return 0;
    }
    Run run;
    std::string markdown;
    bool keepCaches = false;
    // analysis, fix, restore, entries, scale, safari or startup, several joined by commas; empty:
    // all
    std::unordered_set<std::string> only;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rounds" && i + 1 < argc) {
            run.rounds = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--rest" && i + 1 < argc) {
            run.restSeconds = std::max(0.0, std::atof(argv[++i]));
        } else if (arg == "--scale-rounds" && i + 1 < argc) {
            run.scaleRounds = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--gio-limit" && i + 1 < argc) {
            run.gioLimitSeconds = std::max(1.0, std::atof(argv[++i]));
        } else if (arg == "--only" && i + 1 < argc) {
            std::stringstream parts(argv[++i]);
            for (std::string part; std::getline(parts, part, ',');) {
                only.insert(part);
            }
        } else if (arg == "--markdown" && i + 1 < argc) {
            markdown = argv[++i];
        } else if (arg == "--keep-caches") {
            keepCaches = true;
        } else {
            std::fprintf(stderr,
                         "usage: %s [--rounds N] [--scale-rounds N] [--rest SECONDS] "
                         "[--gio-limit SECONDS] [--keep-caches] "
                         "[--only analysis,fix,restore,entries,scale,safari,startup,linux] "
                         "[--markdown FILE]\n",
                         argv[0]);
            return 2;
        }
    }
    for (int i = 1; i < argc; ++i) {
        run.arguments += std::string(i > 1 ? " " : "") + argv[i];
    }
    const auto wanted = [&only](const char* part) { return only.empty() || only.count(part) > 0; };
    run.binDir = binaryFolder().string();
    std::ifstream("/proc/loadavg") >> run.loadAverage;
    std::string pattern = (fs::temp_directory_path() / "corvane-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 2;
    }
    run.scratch = pattern;
    run.fileSystem = fileSystemOf(run.scratch);
    run.mount = mountOf(run.scratch);
    run.dropsCaches = !keepCaches && access("/proc/sys/vm/drop_caches", W_OK) == 0;
    std::printf("scratch: %s (%s)\nmount: %s\nrest after each build: %.1f s\ncaches dropped "
                "before each move of separate entries: %s\n",
                run.scratch.c_str(), run.fileSystem.c_str(), run.mount.c_str(), run.restSeconds,
                run.dropsCaches ? "yes" : "no");
    std::fflush(stdout);

    try {
        if (wanted("analysis")) {
            analysis(run, 1000, false);
            analysis(run, 10000, false);
            analysis(run, 100000, true);
            growth(run);
            memory(run, 100000);
        }
        if (wanted("fix")) {
            fix(run, 10000);
        }
        if (wanted("restore")) {
            restore(run, 10000);
        }
        if (wanted("safari")) {
            safariHard(run, 50000);
        }
        if (wanted("startup")) {
            startup(run, run.rounds * 3);
        }
        if (wanted("linux")) {
            linuxApplications(run);
        }
        std::vector<EntriesSize> sizes;
        const bool gio = access("/usr/bin/gio", X_OK) == 0;
        if (!gio && wanted("entries")) {
            std::printf("gio is not installed: no -gio figures\n");
            run.notes.push_back("gio was not installed: no -gio figures");
        }
        if (wanted("entries")) {
            for (const std::size_t count :
                 {std::size_t{1}, std::size_t{2000}, std::size_t{20000}}) {
                EntriesSize size;
                size.count = count;
                size.rounds = run.rounds;
                size.tools = {Tool::Ours, Tool::Minimal};
                if (gio) {
                    size.tools.push_back(Tool::Gio);
                }
                sizes.push_back(size);
            }
        }
        if (wanted("scale")) {
            // A round of 100,000 entries takes minutes here: fewer of them.
            EntriesSize size;
            size.count = kScaleEntries;
            size.rounds = run.scaleRounds > 0 ? run.scaleRounds : std::max(1, (run.rounds + 1) / 2);
            size.tools = {Tool::Ours, Tool::Minimal};
            sizes.push_back(size);
        }
        separateEntries(run, sizes);
    } catch (const std::exception& error) {
        run.problems.push_back(error.what());
    }
    for (const Figure& f : run.figures) {
        if (f.goal > 0 && f.ratio() > f.goal) {
            run.problems.push_back(f.name + " ratio " + std::to_string(f.ratio()) +
                                   (f.referenceCut.empty()
                                        ? " is above the goal of "
                                        : " (an upper bound: the reference was stopped) does not "
                                          "show the goal of ") +
                                   std::to_string(f.goal));
        }
    }
    if (wanted("analysis") && run.memoryMiB >= kMemoryGoalMiB) {
        run.problems.push_back("peak memory is not under 100 MiB");
    }
    for (const Run::Peak& peak : run.peaks) {
        if (peak.oursMiB >= kScaleMemoryGoalMiB) {
            run.problems.push_back(peak.name + " peaks at " + std::to_string(peak.oursMiB) +
                                   " MiB, not under " + std::to_string(kScaleMemoryGoalMiB));
        }
    }
    if (run.startupMiB - run.startupReferenceMiB > kStartupMemoryGoalMiB) {
        run.problems.push_back("at the first paint the program holds " +
                               std::to_string(run.startupMiB - run.startupReferenceMiB) +
                               " MiB more than the reference window");
    }
    if (!markdown.empty()) {
        writeMarkdown(run, markdown);
    }
    for (const std::string& problem : run.problems) {
        std::printf("problem: %s\n", problem.c_str());
    }
    std::printf("%s\n", run.problems.empty() ? "PASS" : "FAIL");
    // Every unlink waits for a discard here: deleting what the runs built takes minutes.
    std::printf("deleting the %zu Libraries built in %s\n", run.leftovers.size(),
                run.scratch.c_str());
    std::fflush(stdout);
    fs::remove_all(run.scratch);
    return run.problems.empty() ? 0 : 1;
}
