// Times Corvane against the system's own tools on synthetic Libraries, each side as a whole
// process, in alternating rounds, and prints the medians one figure a line:
//
//   NAME: ours X s, reference Y s, ratio Z
//   NAME: peak N MiB
//   startup-memory: ours X MiB, reference Y MiB, difference +Z MiB
//
//   corvane_bench [--rounds N] [--only analysis|fix|restore|entries|safari|startup]
//                 [--markdown FILE]
//   corvane_bench generate HOME ENTRIES [IDENTIFIER [CACHES]]   only build a Library
//
// Exits 1 when a goal is missed or a side did not do what it should.

#include "SyntheticLibrary.h"
#include "TimedProcess.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <sys/utsname.h>
#include <thread>
#include <unistd.h>
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
// Each of many separate entries costs an info file, a journal line and a rename into the Trash
// (and back), where rm unlinks it once and mv renames it once.
constexpr double kEntriesGoal = 3.0;
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
};

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

FixOutput parseFix(const std::string& text) {
    FixOutput out;
    char ending[32] = {};
    std::sscanf(text.c_str(),
                "preferences %*d state %*d removals %d missing %*d logged %*d success %d "
                "trashed %zu ending %31s asked %d refused %d",
                &out.removals, &out.success, &out.trashed, ending, &out.asked, &out.refused);
    out.ending = ending;
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
        fs::remove_all(home);
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
    fs::remove_all(home);
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
        sync(); // neither side should pay for writing back the other's tree
        return library;
    };
    const auto ours = [&] {
        const SyntheticLibrary library = build("ours");
        const TimedProcess p = TimedProcess::run(
            {run.binDir + "/corvane-bench-run", "fix", library.home, kTarget}, {}, true);
        const FixOutput out = parseFix(p.output);
        const TrashContent trash = trashContent(library.home);
        if (p.exitCode != 0 || !out.clean() || anyExists(library.preferenceMatches) ||
            anyExists(library.stateMatches) || trash.files != out.trashed ||
            trash.info != out.trashed) {
            run.problems.push_back("fix left entries or did not use the Trash: " + p.output);
        }
        fs::remove_all(library.home);
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
        fs::remove_all(library.home);
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
    const FixOutput out = parseFix(fixed.output);
    trashed = out.trashed;
    if (fixed.exitCode != 0 || !out.clean()) {
        run.problems.push_back("the fix before a restore did not go cleanly: " + fixed.output);
    }
    sync();
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
        fs::remove_all(library.home);
        return seconds;
    };
    const auto reference = [&] {
        const SyntheticLibrary library = build("mv");
        const std::string folder = SyntheticLibrary::topmost(library.stateMatches).front();
        const std::string trashed = library.home + "/Trash/" + fs::path(folder).filename().string();
        fs::create_directories(library.home + "/Trash");
        fs::rename(folder, trashed);
        sync();
        const TimedProcess p = TimedProcess::run({"/bin/mv", trashed, folder});
        if (p.exitCode != 0 || !anyExists(library.stateMatches)) {
            run.problems.push_back("mv did not move the folder back");
        }
        fs::remove_all(library.home);
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
        fs::remove_all(library.home);
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

// A target with `count` separate entries of its own (per-host preference files, all in one
// folder), each one move into the Trash with its info file and journal line: the fix against
// one `rm -rf` given them all, and putting them back against one `mv -t` of them all.
void separateEntries(Run& run, std::size_t count) {
    LibraryShape shape;
    shape.identifier = kTarget;
    shape.targetByHostFiles = count;
    shape.entries = 1000 + count;
    int round = 0;
    const auto build = [&](const std::string& side) {
        const fs::path home = run.scratch / ("entries-" + side + "-" + std::to_string(round));
        SyntheticLibrary library = SyntheticLibrary::build(home.string(), shape);
        if (!library.stateMatches.empty() || library.preferenceMatches.size() != count ||
            SyntheticLibrary::topmost(library.preferenceMatches).size() != count) {
            throw std::logic_error("the Library of separate entries has " +
                                   std::to_string(library.preferenceMatches.size()) + " matches");
        }
        sync();
        return library;
    };
    const std::string suffix = std::to_string(count) + "-entries";

    const auto fixOurs = [&] {
        const SyntheticLibrary library = build("fix-ours");
        const TimedProcess p = TimedProcess::run(
            {run.binDir + "/corvane-bench-run", "fix", library.home, kTarget}, {}, true);
        const FixOutput out = parseFix(p.output);
        const TrashContent trash = trashContent(library.home);
        if (p.exitCode != 0 || !out.clean() || out.trashed != count ||
            anyExists(library.preferenceMatches) || trash.files != count || trash.info != count) {
            run.problems.push_back("fix of " + suffix + " left entries or did not use the Trash (" +
                                   std::to_string(trash.files) + " in the Trash, " +
                                   std::to_string(trash.info) + " info files): " + p.output);
        }
        fs::remove_all(library.home);
        return p.seconds;
    };
    const auto fixReference = [&] {
        const SyntheticLibrary library = build("fix-rm");
        std::vector<std::string> args = {"/bin/rm", "-rf"};
        args.insert(args.end(), library.preferenceMatches.begin(), library.preferenceMatches.end());
        const TimedProcess p = TimedProcess::run(args);
        if (p.exitCode != 0 || anyExists(library.preferenceMatches)) {
            run.problems.push_back("rm -rf left some of the " + suffix);
        }
        fs::remove_all(library.home);
        ++round;
        return p.seconds;
    };
    const auto [fixTime, rmTime] = alternate(run.rounds, fixOurs, fixReference);
    Figure fixFigure{"fix-" + suffix, fixTime, rmTime, kEntriesGoal};
    print(fixFigure);
    run.figures.push_back(fixFigure);

    round = 0;
    const auto restoreOurs = [&] {
        std::size_t trashed = 0;
        const SyntheticLibrary library = fixedLibrary(run, build("restore-ours"), kTarget, trashed);
        if (trashed != count) {
            run.problems.push_back("the fix before restoring " + suffix + " trashed " +
                                   std::to_string(trashed));
        }
        const double seconds = restoreOnce(run, library, trashed);
        fs::remove_all(library.home);
        return seconds;
    };
    const auto restoreReference = [&] {
        const SyntheticLibrary library = build("restore-mv");
        const fs::path folder = fs::path(library.preferenceMatches.front()).parent_path();
        const fs::path trash = fs::path(library.home) / ".local/share/Trash/files";
        fs::create_directories(trash);
        std::vector<std::string> args = {"/bin/mv", "-t", folder.string()};
        for (const std::string& path : library.preferenceMatches) {
            if (fs::path(path).parent_path() != folder) {
                throw std::logic_error(path + " is not in " + folder.string());
            }
            const fs::path trashed = trash / fs::path(path).filename();
            fs::rename(path, trashed);
            args.push_back(trashed.string());
        }
        sync();
        const TimedProcess p = TimedProcess::run(args);
        if (p.exitCode != 0 || !allExist(library.preferenceMatches) || entriesIn(trash) != 0) {
            run.problems.push_back("mv -t did not move all of the " + suffix + " back");
        }
        fs::remove_all(library.home);
        ++round;
        return p.seconds;
    };
    const auto [restoreTime, mvTime] = alternate(run.rounds, restoreOurs, restoreReference);
    Figure restoreFigure{"restore-" + suffix, restoreTime, mvTime, kEntriesGoal};
    print(restoreFigure);
    run.figures.push_back(restoreFigure);
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
        sync();
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
        const FixOutput out = parseFix(p.output);
        if (p.exitCode != 0 || !gone(library) || out.trashed == 0 || out.asked != 0 ||
            out.refused != 0) {
            run.problems.push_back("Hard Safari reset left entries or met a question: " + p.output);
        }
        fs::remove_all(library.home);
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
        fs::remove_all(library.home);
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
    fs::remove_all(library.home);
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
        << run.rounds << " for each fix and restore and " << std::max(1, run.rounds / 4)
        << " for the Hard Safari reset, each of those on a freshly built Library flushed to "
           "disk before the timed run; "
        << run.rounds * 3 << " for the start-up after one warm-up run of each side.\n\n"
        << "- Date: " << date << "\n- Machine: " << machine()
        << "\n- File system of the folder the Libraries are built in: " << run.fileSystem
        << "\n- One-minute load average when the run "
        << "began: " << run.loadAverage << "\n\n"
        << "| Benchmark | Corvane | Reference | Ratio | Goal |\n"
        << "|---|---:|---:|---:|---|\n";
    char row[256];
    for (const Figure& f : run.figures) {
        std::string goal = "-";
        if (f.goal > 0) {
            goal = "at most " + std::to_string(f.goal).substr(0, 3) +
                   "x: " + (f.ratio() <= f.goal ? "met" : "MISSED");
        }
        std::snprintf(row, sizeof row, "| %s | %.4f s | %.4f s | %.2f | %s |\n", f.name.c_str(),
                      f.ours, f.reference, f.ratio(), goal.c_str());
        out << row;
    }
    std::snprintf(row, sizeof row,
                  "| memory-analysis-100000 (whole program with its window) | peak %.1f MiB | "
                  "| | under %.0f MiB: %s |\n",
                  run.memoryMiB, kMemoryGoalMiB, run.memoryMiB < kMemoryGoalMiB ? "met" : "MISSED");
    out << row;
    if (run.startupMiB > 0) {
        const double extra = run.startupMiB - run.startupReferenceMiB;
        std::snprintf(row, sizeof row,
                      "| startup-memory (resident at the first paint) | %.1f MiB | %.1f MiB | "
                      "%+.1f MiB | at most +%.0f MiB: %s |\n",
                      run.startupMiB, run.startupReferenceMiB, extra, kStartupMemoryGoalMiB,
                      extra <= kStartupMemoryGoalMiB ? "met" : "MISSED");
        out << row;
    }
    out << "\n";
    out << "References: `analysis-N` is `find <Preferences> <Saved Application State>` with an "
           "expression for the target's own names and what lies beneath them on the same tree, N "
           "the entries in those two folders; `fix-10000` is one `rm -rf` given the topmost of "
           "the target's 10,000 matching entries; `restore-10000` is one `mv` of the target's "
           "saved-state folder (nearly all of those entries) back out of a Trash folder, against "
           "putting back the whole fix; `restore-10000-start-alone` is the same Corvane program "
           "started in the same state as for the restore but ending at once, against the same "
           "`mv`; `fix-2000-entries` is one `rm -rf` process given all 2,000 paths of a target "
           "whose own entries are 2,000 per-host preference files "
           "(`Preferences/ByHost/<identifier>.<8 hex digits>.plist`) in a Library of 3,000 "
           "entries, against Corvane's fix, which moves each of them into the Trash with an info "
           "file and a journal line of its own; `restore-2000-entries` is one "
           "`mv -t <Preferences/ByHost> <the 2,000 files>` process moving them back from a Trash "
           "folder they were renamed into beforehand, against putting back that fix; "
           "`safari-hard-50000` is `rm -rf` of the Safari folder plus "
           "`find ... <own names> -prune -exec rm -rf {} +` over Preferences and Saved "
           "Application State (letter case significant) "
           "and over Caches and Cookies (ignoring case), three processes summed. Corvane's side "
           "of each fix includes the analysis that lists what it removes. `startup` is the time "
           "from starting the program to the first paint of its window, and `startup-memory` "
           "the memory resident then, on an Xvfb display and a session bus of the benchmark's "
           "own, in a home whose latest reset record lists "
        << kStartupRecordEntries / 1000
        << ",000 entries still in the Trash (so Restore is offered at launch), against "
           "`corvane-bench-window`: the same window with the same widgets, texts, images and "
           "menus that does no start-up work (no record looked up, no notifications set up); "
           "both record the moment their window's first paint begins, in the same code.\n\n";
    if (run.fileSystem == "ext4 without a journal") {
        out << "Ext4 without a journal passes over every inode freed in the last minute or more "
               "each time it makes a file. The benchmark deletes many files between timed runs, "
               "so on this file system each fix pays for that with every info file it makes; rm "
               "and mv make none.\n\n";
    }
    out << "Growth: " << run.growth << ".\n";
}

fs::path binaryFolder() {
    return fs::read_symlink("/proc/self/exe").parent_path();
}

} // namespace

int main(int argc, char** argv) {
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
    std::string only; // analysis, fix, restore, entries, safari or startup; empty: all
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rounds" && i + 1 < argc) {
            run.rounds = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--only" && i + 1 < argc) {
            only = argv[++i];
        } else if (arg == "--markdown" && i + 1 < argc) {
            markdown = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: %s [--rounds N] "
                         "[--only analysis|fix|restore|entries|safari|startup] [--markdown FILE]\n",
                         argv[0]);
            return 2;
        }
    }
    run.binDir = binaryFolder().string();
    std::ifstream("/proc/loadavg") >> run.loadAverage;
    std::string pattern = (fs::temp_directory_path() / "corvane-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 2;
    }
    run.scratch = pattern;
    run.fileSystem = fileSystemOf(run.scratch);
    std::printf("scratch: %s (%s)\n", run.scratch.c_str(), run.fileSystem.c_str());

    try {
        if (only.empty() || only == "analysis") {
            analysis(run, 1000, false);
            analysis(run, 10000, false);
            analysis(run, 100000, true);
            growth(run);
            memory(run, 100000);
        }
        if (only.empty() || only == "fix") {
            fix(run, 10000);
        }
        if (only.empty() || only == "restore") {
            restore(run, 10000);
        }
        if (only.empty() || only == "entries") {
            separateEntries(run, 2000);
        }
        if (only.empty() || only == "safari") {
            safariHard(run, 50000);
        }
        if (only.empty() || only == "startup") {
            startup(run, run.rounds * 3);
        }
    } catch (const std::exception& error) {
        run.problems.push_back(error.what());
    }
    fs::remove_all(run.scratch);

    for (const Figure& f : run.figures) {
        if (f.goal > 0 && f.ratio() > f.goal) {
            run.problems.push_back(f.name + " ratio " + std::to_string(f.ratio()) +
                                   " is above the goal of " + std::to_string(f.goal));
        }
    }
    if (run.memoryMiB >= kMemoryGoalMiB) {
        run.problems.push_back("peak memory is not under 100 MiB");
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
    return run.problems.empty() ? 0 : 1;
}
