#include "gui/DesktopNotifications.h"

#include "gui/MainWindow.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QVariantMap>

namespace corvane {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The sound theme's name for a new message: the desktop's usual notification sound.
const QString kDefaultSound = QStringLiteral("message-new-instant");

} // namespace

DesktopNotifications::DesktopNotifications(MainWindow& window, QObject* parent, QDBusConnection bus)
    : QObject(parent), m_window(&window), m_bus(std::move(bus)) {}

void DesktopNotifications::deliver(const UserNotification& notification) {
    const bool inFront = m_window && m_window->isActiveWindow();
    if (inFront && !(m_shouldPresent && m_shouldPresent(notification))) {
        showInWindow(notification);
        return;
    }
    if (!m_bus.isConnected()) {
        showInWindow(notification);
        return;
    }

    QStringList actions;
    if (notification.hasActionButton) {
        actions << QStringLiteral("default") << tr("Show");
    }
    QVariantMap hints;
    if (notification.playDefaultSound) {
        hints.insert(QStringLiteral("sound-name"), kDefaultSound);
    } else {
        hints.insert(QStringLiteral("suppress-sound"), true);
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QStringLiteral("Corvane") << 0u << QString()
         << QString::fromStdString(notification.title)
         << QString::fromStdString(notification.informativeText) << actions << hints << -1;

    // Asynchronous: a service that is slow, or lives in this very process, must not stall the
    // window.
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, m_replyTimeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, notification](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                if (done->isError()) {
                    showInWindow(notification);
                }
            });
}

void DesktopNotifications::showInWindow(const UserNotification& notification) {
    if (m_window) {
        m_window->showNotice(QString::fromStdString(notification.informativeText));
    }
}

} // namespace corvane
