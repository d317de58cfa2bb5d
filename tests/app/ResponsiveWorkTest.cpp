#include "app/ResponsiveWork.h"

#include "app/Controls.h"
#include "support/FakeServices.h"

#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

class RecordingIndicator : public ProgressIndicator {
public:
    void begin(const std::string& text, std::optional<std::size_t>) override {
        labels.push_back(text);
    }
    void update(std::size_t seen) override { counts.push_back(seen); }
    void end() override { ++ends; }
    std::vector<std::string> labels;
    std::vector<std::size_t> counts;
    int ends = 0;
};

TEST(ResponsiveWork, RefreshesAtMostOncePerIntervalAndEndsTheIndicator) {
    RecordingApplication application;
    RecordingIndicator indicator;
    {
        ResponsiveWork work(&application, &indicator, "Walking", std::nullopt,
                            std::chrono::milliseconds(0));
        for (int i = 0; i < 5; ++i) {
            work.tick();
        }
        EXPECT_EQ(application.responsivePasses, 5);
        EXPECT_EQ(indicator.labels, std::vector<std::string>{"Walking"});
        EXPECT_EQ(indicator.counts.back(), 5u);
    }
    EXPECT_EQ(indicator.ends, 1);

    RecordingApplication idle;
    RecordingIndicator unused;
    {
        ResponsiveWork work(&idle, &unused, "Walking", std::nullopt, std::chrono::hours(1));
        for (int i = 0; i < 1000; ++i) {
            work.tick();
        }
        EXPECT_EQ(work.itemsSeen(), 1000u);
    }
    EXPECT_EQ(idle.responsivePasses, 0);
    EXPECT_EQ(unused.ends, 0); // never shown, so never hidden
}

} // namespace
} // namespace corvane::testing
