#pragma once

#include "ports/Services.h"

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <functional>

namespace corvane {

class MainWindow;

// Notifications through the desktop's notification service (org.freedesktop.Notifications on
// the session bus). Where none answers, the text is shown in the main window instead, without
// blocking it.
class DesktopNotifications : public QObject, public Notifications {
    Q_OBJECT
public:
    // Answers whether a notification is presented while Corvane's window is in front.
    using PresentationCheck = std::function<bool(const UserNotification&)>;

    explicit DesktopNotifications(MainWindow& window, QObject* parent = nullptr,
                                  QDBusConnection bus = QDBusConnection::sessionBus());

    // Without a check, a notification is not presented while the window is in front: it is
    // shown in the window, where the user is looking.
    void setPresentationCheck(PresentationCheck check) { m_shouldPresent = std::move(check); }

    void deliver(const UserNotification& notification) override;

    // How long the service may take to answer before the window shows the text instead.
    void setReplyTimeout(int milliseconds) { m_replyTimeout = milliseconds; }

private:
    void showInWindow(const UserNotification& notification);

    QPointer<MainWindow> m_window;
    QDBusConnection m_bus;
    PresentationCheck m_shouldPresent;
    int m_replyTimeout = 5000;
};

} // namespace corvane
