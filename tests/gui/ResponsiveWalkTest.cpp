#include "app/ResponsiveWork.h"
#include "core/ProcessWideValues.h"
#include "gui/FrontEnd.h"
#include "gui/MainWindow.h"
#include "support/TempHome.h"

#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

TEST(ResponsiveWalk, WindowRepaintsAndShowsACountDuringALargeWalk) {
    TempHome home;
    for (int i = 0; i < 3000; ++i) {
        home.file("Library/Preferences/com.vendor" + std::to_string(i) + ".plist");
    }
    home.file("Library/Preferences/com.target.App.plist");
    FrontEnd frontEnd;
    frontEnd.start();
    MainWindow& window = frontEnd.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    PaintCounter counter;
    window.busyBar()->installEventFilter(&counter);
    QString lastCount;
    const auto previous = ResponsiveWork::defaultInterval();
    ResponsiveWork::setDefaultInterval(std::chrono::milliseconds(0));
    processWide().targetBundleIdentifier = "com.target.App";
    processWide().targetApplicationName = "Target.app";

    // Sample the label from inside the walk: a zero-time timer only fires if events are processed.
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { lastCount = window.busyLabel()->text(); });
    sampler.start(0);
    (void)frontEnd.delegate().analyser();
    sampler.stop();
    ResponsiveWork::setDefaultInterval(previous);

    EXPECT_GT(counter.paints, 0);
    EXPECT_TRUE(lastCount.contains(QStringLiteral("items"))) << lastCount.toStdString();
    EXPECT_TRUE(window.busyBar()->isHidden());
    EXPECT_EQ(frontEnd.delegate().fullFilePaths().size(), 1u);
}

} // namespace
} // namespace corvane::testing
