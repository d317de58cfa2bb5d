// Composes reports from arbitrary lists of names and checks what the chooser relies on: the file
// list sits before the first "Click", and the text never claims "can't".
#include "base/Text.h"
#include "core/analysis/AnalysisReport.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const bool isSafari = (data[0] & 1) != 0;
    // Names are separated by NUL bytes; a 0x01 byte moves on to the saved-state list.
    std::vector<std::string> files;
    std::vector<std::string> states;
    std::vector<std::string>* current = &files;
    std::string name;
    for (std::size_t i = 1; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == '\0' || c == '\x01') {
            if (!name.empty()) {
                current->push_back(name);
            }
            name.clear();
            if (c == '\x01') {
                current = &states;
            }
        } else if (c != 'C') { // a name holding "Click" would legitimately move the grey stretch
            name += c;
        }
    }
    if (!name.empty()) {
        current->push_back(name);
    }
    if (!files.empty()) {
        files.push_back("\n");
    }
    const corvane::Report report = corvane::composeReport(files, states, isSafari, "App.app");
    const auto start = corvane::utf16Find(report.text, report.fileList);
    const auto click = corvane::utf16Find(report.text, "Click");
    if (!start || !click || *start > *click) {
        std::abort();
    }
    if (corvane::joinLines(files).empty() != (report.fileList == "~\n")) {
        std::abort();
    }
    return 0;
}
