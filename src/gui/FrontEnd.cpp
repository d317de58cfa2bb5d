#include "gui/FrontEnd.h"

#include "BuildInfo.h"
#include "gui/DesktopNotifications.h"
#include "gui/Images.h"
#include "gui/MainWindow.h"
#include "gui/QtDialogs.h"
#include "gui/QtUrlLoader.h"
#include "host/HostFacilities.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QTimer>

namespace corvane {

void describeApplication() {
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setApplicationVersion(QString::fromLatin1(build::kVersion));
    // Lets the desktop match the window to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("net.corvane.Corvane"));
    QApplication::setWindowIcon(namedIcon(QLatin1String(kChooseButtonImage)));
}

void QtApplication::terminateLater() {
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void QtApplication::keepResponsive() {
    m_gate.pump();
}

void QtApplication::beginBusy(bool cancellable) {
    m_gate.begin(cancellable);
}

void QtApplication::endBusy() {
    m_gate.end();
}

FrontEnd::FrontEnd()
    : m_window(std::make_unique<MainWindow>()), m_host(std::make_unique<HostFacilities>()),
      m_alerts(std::make_unique<QtAlerts>(m_window.get())),
      m_openPanel(std::make_unique<QtOpenPanel>(m_window.get())),
      m_resetChooser(std::make_unique<QtResetChooser>(m_window.get())),
      m_application(std::make_unique<QtApplication>()),
      m_urlLoader(std::make_unique<QtUrlLoader>()),
      m_notifications(std::make_unique<DesktopNotifications>(*m_window)) {
    Services services;
    services.fileSystem = &m_host->fileSystem;
    services.openPanel = m_openPanel.get();
    services.alerts = m_alerts.get();
    services.workspace = &m_host->workspace;
    services.bundles = &m_host->bundles;
    services.application = m_application.get();
    services.launcher = &m_host->launcher;
    services.runningApplications = &m_host->running;
    services.cookieStore = &m_host->cookies;
    services.systemLog = &m_host->log;
    services.urlLoader = m_urlLoader.get();
    services.notifications = m_notifications.get();
    services.trash = m_host->trashOrNone();
    services.resetChooser = m_resetChooser.get();
    m_delegate = std::make_unique<AppDelegate>(m_window->outlets(), services);

    m_application->inputGate().setCancelControl(m_window->cancelButton());

    AppDelegate* delegate = m_delegate.get();
    // The controller answers the notification centre's question, so a notice shows as a
    // desktop notification even while Corvane is in front.
    m_notifications->setPresentationCheck([delegate](const UserNotification& notification) {
        return delegate->userNotificationCenterShouldPresentNotification(notification);
    });
    connect(m_window->chooseButton(), &QPushButton::clicked, this,
            [delegate] { delegate->chooseApp(); });
    connect(m_window->fixButton(), &QPushButton::clicked, this,
            [delegate] { delegate->fixButtonMethod(); });
    connect(m_window->restoreButton(), &QPushButton::clicked, this,
            [delegate] { delegate->restoreButtonMethod(); });
    connect(m_window->cancelButton(), &QPushButton::clicked, this,
            [delegate] { delegate->stopProgress(); });
    connect(m_window->quitAction(), &QAction::triggered, this,
            [delegate] { delegate->quitTheApp(); });
    connect(m_window->aboutAction(), &QAction::triggered, this, [this] { showAbout(); });
    QPushButton* update = m_window->updateButton();
    connect(update, &QPushButton::clicked, this,
            [delegate, update] { delegate->checkUpdate(update); });
}

FrontEnd::~FrontEnd() = default;

void FrontEnd::showAbout() {
    QMessageBox about(m_window.get());
    about.setObjectName(QStringLiteral("aboutBox"));
    about.setWindowTitle(QStringLiteral("About Corvane"));
    about.setTextFormat(Qt::PlainText);
    about.setText(QStringLiteral("Corvane %1").arg(QString::fromUtf8(build::kVersion)));
    about.setInformativeText(
        QStringLiteral("Returns a misbehaving application to its default settings.\n\n"
                       "Licence: GPL-3.0-or-later\n%1")
            .arg(QString::fromUtf8(build::kProductUrl)));
    about.setIconPixmap(m_window->windowIcon().pixmap(64, 64));
    about.exec();
}

void FrontEnd::start(const std::optional<std::string>& application) {
    // Drops are taken only while the window waits for a choice, never while it works.
    m_window->setDropAllowed([this] {
        const QPushButton* choose = m_window->chooseButton();
        return !m_application->inputGate().isClosed() && !choose->isHidden() && choose->isEnabled();
    });
    connect(m_window.get(), &MainWindow::itemDropped, this, [this](const QString& path) {
        m_delegate->chooseAppAtPath(QFile::encodeName(path).toStdString());
    });
    QApplication::setQuitOnLastWindowClosed(
        m_delegate->applicationShouldTerminateAfterLastWindowClosed());
    connect(qApp, &QCoreApplication::aboutToQuit, this,
            [this] { m_delegate->applicationWillTerminate(); });
    // What needs the disk waits for the window to be on screen.
    qApp->installEventFilter(this);
    m_window->show();
    m_delegate->applicationWillFinishLaunching();
    if (application) {
        m_delegate->chooseAppAtPath(*application);
    }
}

bool FrontEnd::eventFilter(QObject* watched, QEvent* event) {
    if (!m_launchFinished) {
        if (watched == m_window.get() && event->type() == QEvent::Paint) {
            // Queued: the paint in hand is put on screen first.
            QTimer::singleShot(0, this, &FrontEnd::finishLaunching);
        } else if (isUserInput(event->type())) {
            finishLaunching();
        }
    }
    return QObject::eventFilter(watched, event);
}

void FrontEnd::finishLaunching() {
    if (m_launchFinished) {
        return;
    }
    m_launchFinished = true;
    qApp->removeEventFilter(this);
    m_delegate->applicationDidFinishLaunching();
}

} // namespace corvane
