#include "support/FakeControls.h"

#include "base/Text.h"

namespace corvane::testing {

void FakeTextView::setString(const std::string& text) {
    m_text = text;
    m_colours.assign(static_cast<std::size_t>(utf16Length(text)), m_base);
    history.push_back(text);
}

void FakeTextView::setFont(const std::string& family, double points) {
    fontFamily = family;
    fontPoints = points;
}

void FakeTextView::setTextColor(const Color& color) {
    m_base = color;
    m_colours.assign(m_colours.size(), color);
}

void FakeTextView::setTextColor(const Color& color, std::int64_t location, std::int64_t length) {
    const auto size = static_cast<std::int64_t>(m_colours.size());
    for (std::int64_t i = location; i < location + length && i < size; ++i) {
        if (i >= 0) {
            m_colours[static_cast<std::size_t>(i)] = color;
        }
    }
}

std::vector<ColourRun> FakeTextView::colourRuns() const {
    std::vector<ColourRun> runs;
    for (std::size_t i = 0; i < m_colours.size(); ++i) {
        if (!runs.empty() && runs.back().color == m_colours[i]) {
            ++runs.back().length;
        } else {
            runs.push_back({static_cast<std::int64_t>(i), 1, m_colours[i]});
        }
    }
    return runs;
}

bool FakeTextView::rangeHasColour(std::int64_t from, std::int64_t to, const Color& color) const {
    for (std::int64_t i = from; i < to; ++i) {
        if (i < 0 || i >= static_cast<std::int64_t>(m_colours.size()) ||
            !(m_colours[static_cast<std::size_t>(i)] == color)) {
            return false;
        }
    }
    return true;
}

} // namespace corvane::testing
