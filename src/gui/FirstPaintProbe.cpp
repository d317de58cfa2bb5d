#include "gui/FirstPaintProbe.h"

#include "host/ResidentMemory.h"

#include <QByteArray>
#include <QEvent>
#include <QWidget>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace corvane {

namespace {

class FirstPaintProbe : public QObject {
public:
    FirstPaintProbe(QWidget& window, QByteArray file)
        : QObject(&window), m_window(&window), m_file(std::move(file)) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_window && event->type() == QEvent::Paint) {
            record();
            m_window->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }

private:
    void record() const {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const unsigned long long nanoseconds =
            static_cast<unsigned long long>(now.tv_sec) * 1000000000ULL +
            static_cast<unsigned long long>(now.tv_nsec);
        char line[64];
        const int length =
            std::snprintf(line, sizeof line, "first-paint %llu %llu\n", nanoseconds,
                          static_cast<unsigned long long>(residentBytes().value_or(0)));
        const int fd = open(m_file.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            return;
        }
        // One write of a short line: a reader of a pipe gets it whole.
        if (write(fd, line, static_cast<std::size_t>(length)) != length) {
            std::perror("first paint record");
        }
        close(fd);
    }

    QWidget* m_window;
    QByteArray m_file;
};

} // namespace

void recordFirstPaint(QWidget& window) {
    const QByteArray file = qgetenv(kFirstPaintLogVariable);
    if (!file.isEmpty()) {
        new FirstPaintProbe(window, file);
    }
}

} // namespace corvane
