// Compares versions read from arbitrary texts and decides update pages, checking that the order
// is a proper one, that it agrees with plain numbers where those fit, and that the update
// decision never offers an update for a page that does not begin with a newer version.
//
// Input: three texts separated by NUL bytes: two versions and an update page.
#include "core/update/UpdateCheck.h"
#include "core/update/Version.h"

#include <compare>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using corvane::UpdateOutcome;
using corvane::Version;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::string_view afterSpace(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    while (!text.empty() &&
           (text.front() == ' ' || (text.front() >= '\t' && text.front() <= '\r'))) {
        text.remove_prefix(1);
    }
    return text;
}

// The leading dotted number of `text` as integers; none when a component has more digits than
// fit, or when there is no leading number at all.
std::optional<std::vector<std::uint64_t>> leadingNumbers(std::string_view text) {
    text = afterSpace(text);
    std::vector<std::uint64_t> numbers;
    std::size_t at = 0;
    do {
        if (!numbers.empty()) {
            ++at; // the dot
        }
        std::uint64_t number = 0;
        std::size_t digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            if (number > 100'000'000'000'000'000ull) {
                return std::nullopt;
            }
            number = number * 10 + static_cast<std::uint64_t>(text[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0) {
            return std::nullopt;
        }
        numbers.push_back(number);
    } while (at + 1 < text.size() && text[at] == '.' && text[at + 1] >= '0' && text[at + 1] <= '9');
    return numbers;
}

std::strong_ordering compareNumbers(std::vector<std::uint64_t> a, std::vector<std::uint64_t> b) {
    const std::size_t count = std::max(a.size(), b.size());
    a.resize(count, 0);
    b.resize(count, 0);
    return a <=> b;
}

void checkPair(const Version& a, const Version& b, std::string_view aText, std::string_view bText) {
    const std::strong_ordering order = a <=> b;
    const std::strong_ordering reverse = b <=> a;
    require((order < 0) == (reverse > 0) && (order == 0) == (reverse == 0));
    require((a == b) == (order == 0) && (a == b) == (b == a));
    const auto aNumbers = leadingNumbers(aText);
    const auto bNumbers = leadingNumbers(bText);
    if (aNumbers && bNumbers) {
        require(order == compareNumbers(*aNumbers, *bNumbers));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> texts;
    std::size_t at = 0;
    while (texts.size() < 2) {
        const std::size_t nul = input.find('\0', at);
        if (nul == std::string_view::npos) {
            break;
        }
        texts.push_back(input.substr(at, nul - at));
        at = nul + 1;
    }
    texts.push_back(input.substr(std::min(at, input.size())));
    while (texts.size() < 3) {
        texts.insert(texts.begin(), std::string_view());
    }
    const std::string_view page = texts[2];

    std::vector<Version> versions;
    std::vector<std::string_view> sources;
    for (const std::string_view text : texts) {
        const std::optional<Version> version = Version::parseLeading(text);
        // A text whose first visible character is no digit holds no version.
        const std::string_view visible = afterSpace(text);
        if (!visible.empty() && !(visible.front() >= '0' && visible.front() <= '9')) {
            require(!version);
        }
        if (version) {
            require(*version == *version);
            versions.push_back(*version);
            sources.push_back(text);
        }
    }
    for (std::size_t i = 0; i < versions.size(); ++i) {
        for (std::size_t j = 0; j < versions.size(); ++j) {
            checkPair(versions[i], versions[j], sources[i], sources[j]);
        }
    }
    if (versions.size() == 3) {
        const Version& a = versions[0];
        const Version& b = versions[1];
        const Version& c = versions[2];
        require(!(a <= b && b <= c) || a <= c);
        require(!(a == b && b == c) || a == c);
    }

    const Version installed = Version::parseLeading(texts[0]).value_or(corvane::installedVersion());
    const std::string pageText(page);
    const UpdateOutcome outcome = corvane::decideUpdate(pageText, installed);
    const std::optional<Version> published = Version::parseLeading(page);
    if (pageText.find("No connection") != std::string::npos) {
        require(outcome == UpdateOutcome::NoConnection);
    } else if (!published) {
        require(outcome == UpdateOutcome::Unreadable);
    } else {
        require(outcome ==
                (*published > installed ? UpdateOutcome::NewerVersion : UpdateOutcome::UpToDate));
    }
    const std::string_view visible = afterSpace(page);
    if (visible.empty() || !(visible.front() >= '0' && visible.front() <= '9')) {
        require(outcome != UpdateOutcome::NewerVersion);
    }
    // The failure marker wins wherever it stands.
    const std::size_t cut = texts[1].size() % (pageText.size() + 1);
    const std::string marked = pageText.substr(0, cut) + "No connection" + pageText.substr(cut);
    require(corvane::decideUpdate(marked, installed) == UpdateOutcome::NoConnection);
    require(corvane::decideUpdate(std::nullopt, installed) == UpdateOutcome::NoConnection);
    return 0;
}
