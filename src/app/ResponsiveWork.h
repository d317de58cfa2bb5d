#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace corvane {

class Application;
class ProgressIndicator;

// Long work runs on the main thread; this keeps the window painting while it goes on. `tick` is
// cheap to call for every item: at most once per interval it lets the window repaint (without
// taking user input) and updates the progress indicator with the count of items seen.
class ResponsiveWork {
public:
    ResponsiveWork(Application* application, ProgressIndicator* indicator, std::string label,
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
    ProgressIndicator* m_indicator;
    std::string m_label;
    std::chrono::milliseconds m_interval;
    std::chrono::steady_clock::time_point m_next;
    std::size_t m_items = 0;
    bool m_begun = false;
};

} // namespace corvane
