#include "app/ResponsiveWork.h"

#include "app/Application.h"
#include "app/Controls.h"
#include "ports/Services.h"

namespace corvane {

namespace {
std::chrono::milliseconds gDefaultInterval{100};
}

std::chrono::milliseconds ResponsiveWork::defaultInterval() {
    return gDefaultInterval;
}

void ResponsiveWork::setDefaultInterval(std::chrono::milliseconds interval) {
    gDefaultInterval = interval;
}

ResponsiveWork::ResponsiveWork(Application* application, ProgressIndicator* indicator,
                               std::string label, std::optional<std::size_t> total,
                               std::chrono::milliseconds interval)
    : m_application(application), m_busy(application), m_indicator(indicator),
      m_label(std::move(label)), m_total(total), m_interval(interval),
      m_next(std::chrono::steady_clock::now() + interval) {}

ResponsiveWork::~ResponsiveWork() {
    if (m_begun && m_indicator) {
        m_indicator->end();
    }
}

void ResponsiveWork::tick() {
    ++m_items;
    // Reading the clock for every item would cost more than the walk itself on large folders.
    if ((m_items & 63u) != 0 && m_interval.count() > 0) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now < m_next) {
        return;
    }
    m_next = now + m_interval;
    refresh();
}

void ResponsiveWork::refresh() {
    if (m_indicator) {
        if (!m_begun) {
            m_indicator->begin(m_label, m_total);
            m_begun = true;
        }
        m_indicator->update(m_items);
    }
    if (m_application) {
        m_application->keepResponsive();
    }
}

} // namespace corvane
