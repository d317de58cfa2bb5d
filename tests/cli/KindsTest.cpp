#include "core/analysis/Kinds.h"

#include "cli/CommandLineFixture.h"

#include <nlohmann/json.hpp>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kWidget = "com.example.Widget";

void giveEveryKind(const TempHome& home) {
    home.file("Library/Preferences/com.example.Widget.plist", "prefs");
    home.file("Library/Preferences/com.example.Widget/inside.plist", "inside");
    home.file("Library/Saved Application State/com.example.Widget.savedState/w.plist", "w");
    home.file("Library/Containers/com.example.Widget/Data/Library/Preferences/x.plist", "boxed");
    home.file("Library/Containers/com.example.Widget/Data/Library/Saved Application State/s", "s");
}

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(CommandLine, TheWindowAndTheListingComeFromOnePlan) {
    struct Case {
        const char* label;
        std::function<void(const TempHome&)> spoil;
    };
    const Case cases[] = {
        {"every kind", [](const TempHome&) {}},
        {"a linked Containers folder",
         [](const TempHome& inHome) {
             fs::rename(inHome.library() + "/Containers", inHome.path() + "/Elsewhere");
             fs::create_directory_symlink(inHome.path() + "/Elsewhere",
                                          inHome.library() + "/Containers");
         }},
        {"a Preferences that is no folder",
         [](const TempHome& inHome) {
             fs::remove_all(inHome.library() + "/Preferences");
             inHome.file("Library/Preferences", "not a folder");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(home.path() + "/Elsewhere");
        fs::remove_all(home.library());
        giveEveryKind(home);
        c.spoil(home);
        const std::string widget = app("Widget.app", kWidget);
        const Outcome json = corvane({"--list", "--json", widget});
        ASSERT_LE(json.status, 1) << json.err;
        const nlohmann::json document = nlohmann::json::parse(json.out);
        std::vector<std::string> paths;
        for (const nlohmann::json& entry : document["entries"]) {
            paths.push_back(entry["path"]);
            ASSERT_TRUE(kindWithId(entry["kind"].get<std::string>())) << entry.dump();
        }
        EXPECT_EQ(paths, windowLists(widget));
        std::vector<std::string> skipped;
        for (const nlohmann::json& folder : document["skipped"]) {
            skipped.push_back(folder["folder"]);
        }
        std::vector<std::string> windowSkipped;
        for (const SkippedFolder& folder : delegate().skippedFolders()) {
            windowSkipped.push_back(folder.name);
        }
        EXPECT_EQ(skipped, windowSkipped);
        EXPECT_EQ(std::set<std::string>(skipped.begin(), skipped.end()).size(), skipped.size())
            << "each folder not searched is named once";
        // The kinds the plan names are the window's check boxes.
        std::vector<std::string> kinds;
        for (const KindChoices::Choice& choice : window.kindChoices.choices) {
            kinds.push_back(choice.id);
        }
        std::vector<std::string> listedKinds;
        for (const nlohmann::json& entry : document["entries"]) {
            if (std::find(listedKinds.begin(), listedKinds.end(), entry["kind"]) ==
                listedKinds.end()) {
                listedKinds.push_back(entry["kind"]);
            }
        }
        EXPECT_EQ(kinds, listedKinds);
    }
}

TEST_F(CommandLine, OnlyTakesTheKindsNamedAndTheRecordSaysWhich) {
    giveEveryKind(home);
    const std::string widget = app("Widget.app", kWidget);
    const Outcome all = corvane({"--list", "--json", widget});
    const nlohmann::json every = nlohmann::json::parse(all.out)["entries"];

    for (const std::string only : {"saved_state", "preferences,container_saved_state"}) {
        SCOPED_TRACE(only);
        const ParsedKinds wanted = parseKindList(only);
        const Outcome listed = corvane({"--list", "--json", "--only=" + only, widget});
        ASSERT_EQ(listed.status, 0) << listed.err;
        nlohmann::json expected = nlohmann::json::array();
        for (const nlohmann::json& entry : every) {
            if (std::find(wanted.kinds.begin(), wanted.kinds.end(),
                          *kindWithId(entry["kind"].get<std::string>())) != wanted.kinds.end()) {
                expected.push_back(entry);
            }
        }
        EXPECT_EQ(nlohmann::json::parse(listed.out)["entries"], expected);
    }

    const Outcome reset = corvane({"--reset", "--yes", "--json", "--only=saved_state", widget});
    ASSERT_EQ(reset.status, 0) << reset.err;
    EXPECT_EQ(nlohmann::json::parse(reset.out)["kinds"], nlohmann::json({"saved_state"}));
    EXPECT_EQ(contentOf(home.library() + "/Preferences/com.example.Widget.plist"), "prefs");
    EXPECT_TRUE(fs::exists(
        home.library() + "/Containers/com.example.Widget/Data/Library/Saved Application State/s"));
    EXPECT_FALSE(fs::exists(home.library() + "/Saved Application State"
                                             "/com.example.Widget.savedState"));
    const Outcome history = corvane({"--history", "--no-legend", kWidget});
    EXPECT_NE(history.out.find("\tsaved_state\n"), std::string::npos) << history.out;
    const nlohmann::json records =
        nlohmann::json::parse(corvane({"--history", "--json", kWidget}).out)["records"];
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["kinds"], nlohmann::json({"saved_state"}));

    // A kind that is none is a usage mistake that names the kinds there are.
    const Outcome unknown = corvane({"--list", "--only=saved_state,windows", widget});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find(kindIds()), std::string::npos) << unknown.err;
    EXPECT_NE(unknown.err.find("'windows'"), std::string::npos) << unknown.err;
    EXPECT_EQ(corvane({"--history", "--only=saved_state"}).status, 2);
}

TEST(KindDocumentation, TheManualAndTheScriptsPageListEveryKindOfTheTable) {
    const std::string scripts = readText(std::string(kSourceDir) + "/docs/cli.md");
    const std::string manual = readText(std::string(kSourceDir) + "/docs/corvane.1.scd.in");
    const std::string completion =
        readText(std::string(kSourceDir) + "/data/corvane.bash-completion");
    std::vector<std::string> documented;
    std::istringstream lines(scripts);
    for (std::string line; std::getline(lines, line);) {
        // The rows of the kinds' table: | `id` | label | where | clears the domain |
        if (line.rfind("| `", 0) == 0 && line.find("` | ") != std::string::npos &&
            (line.ends_with("| yes |") || line.ends_with("| no |"))) {
            documented.push_back(line);
        }
    }
    ASSERT_EQ(documented.size(), kindTable().size());
    for (std::size_t i = 0; i < documented.size(); ++i) {
        const KindRow& row = kindTable()[i];
        SCOPED_TRACE(std::string(row.id));
        EXPECT_EQ(documented[i], "| `" + std::string(row.id) + "` | " + std::string(row.label) +
                                     " | " + std::string(row.where) + " | " +
                                     (row.clearsDomain ? "yes" : "no") + " |");
        EXPECT_NE(manual.find("- *" + std::string(row.id) + "*: " + std::string(row.label)),
                  std::string::npos);
        const std::string word = " " + std::string(row.id);
        EXPECT_TRUE(completion.find(word + " ") != std::string::npos ||
                    completion.find(word + ";") != std::string::npos);
    }
}

} // namespace
} // namespace corvane::testing
