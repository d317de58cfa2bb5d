#include "platform/qt/DesktopNotifications.h"

#include "platform/qt/MainWindow.h"

namespace corvane {

DesktopNotifications::DesktopNotifications(MainWindow& window, QObject* parent)
    : QObject(parent), m_window(&window) {}

// Placeholder until the update check is built: shows the text in the window.
void DesktopNotifications::deliver(const UserNotification& notification) {
    if (m_window) {
        m_window->showNotice(QString::fromStdString(notification.informativeText));
    }
}

} // namespace corvane
