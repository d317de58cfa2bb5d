#pragma once

#include "platform/Services.h"

#include <QObject>
#include <QPointer>

namespace corvane {

class MainWindow;

// Notifications through the desktop's notification service over D-Bus; where none answers,
// the text is shown in the main window.
class DesktopNotifications : public QObject, public Notifications {
    Q_OBJECT
public:
    explicit DesktopNotifications(MainWindow& window, QObject* parent = nullptr);
    void deliver(const UserNotification& notification) override;

private:
    QPointer<MainWindow> m_window;
};

} // namespace corvane
