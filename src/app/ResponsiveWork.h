#pragma once

#include "app/BusySpan.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace corvane {

class ProgressIndicator;

// Long work runs on the main thread; this keeps the window painting while it goes on. `tick` is
// cheap to call for every item: at most once per interval it lets the window repaint and updates
// the progress indicator with the count of items seen. For its whole life the window is deaf:
// input made during the work is discarded.
class ResponsiveWork {
public:
    // With a `total`, the indicator shows how far towards it the work has come.
    ResponsiveWork(Application* application, ProgressIndicator* indicator, std::string label,
                   std::optional<std::size_t> total = std::nullopt,
                   std::chrono::milliseconds interval = defaultInterval());
    ~ResponsiveWork();
    ResponsiveWork(const ResponsiveWork&) = delete;
    ResponsiveWork& operator=(const ResponsiveWork&) = delete;

    void tick();
    std::size_t itemsSeen() const { return m_items; }

    // The interval every new piece of work uses; tests shorten it.
    static std::chrono::milliseconds defaultInterval();
    static void setDefaultInterval(std::chrono::milliseconds interval);

private:
    void refresh();

    Application* m_application;
    BusySpan m_busy;
    ProgressIndicator* m_indicator;
    std::string m_label;
    std::optional<std::size_t> m_total;
    std::chrono::milliseconds m_interval;
    std::chrono::steady_clock::time_point m_next;
    std::size_t m_items = 0;
    bool m_begun = false;
};

} // namespace corvane
