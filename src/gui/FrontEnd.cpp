#include "gui/FrontEnd.h"

#include "BuildInfo.h"
#include "gui/DesktopNotifications.h"
#include "gui/FileManager.h"
#include "gui/Images.h"
#include "gui/MainWindow.h"
#include "gui/QtDialogs.h"
#include "gui/QtUrlLoader.h"
#include "gui/Settings.h"
#include "host/HostFacilities.h"
#include "ports/Processes.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>

namespace corvane {

namespace {
constexpr qint64 kPlacementWaitMs = 2000;
const QString kGeometryKey = QStringLiteral("window/geometry");
} // namespace

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

FrontEnd::FrontEnd() : FrontEnd(makeHostFacilities()) {}

FrontEnd::FrontEnd(std::unique_ptr<HostFacilities> host)
    : m_window(std::make_unique<MainWindow>()), m_host(std::move(host)),
      m_alerts(std::make_unique<QtAlerts>(m_window.get())),
      m_openPanel(std::make_unique<QtOpenPanel>(m_window.get())),
      m_resetChooser(std::make_unique<QtResetChooser>(m_window.get())),
      m_applicationChooser(std::make_unique<QtApplicationChooser>(m_window.get())),
      m_application(std::make_unique<QtApplication>()),
      m_urlLoader(std::make_unique<QtUrlLoader>()),
      m_notifications(std::make_unique<DesktopNotifications>(*m_window)) {
    WindowParts parts{*m_openPanel, *m_alerts, *m_application};
    parts.urlLoader = m_urlLoader.get();
    parts.notifications = m_notifications.get();
    parts.resetChooser = m_resetChooser.get();
    parts.applicationChooser = m_applicationChooser.get();
    m_delegate = std::make_unique<AppDelegate>(m_window->outlets(), m_host->ports(), parts);

    m_application->inputGate().setCancelControl(m_window->cancelButton());

    AppDelegate* delegate = m_delegate.get();
    // The controller answers the notification centre's question, so a notice shows as a
    // desktop notification even while Corvane is in front.
    m_notifications->setPresentationCheck([delegate](const UserNotification& notification) {
        return delegate->userNotificationCenterShouldPresentNotification(notification);
    });
    connect(m_window->chooseButton(), &QPushButton::clicked, this,
            [delegate] { delegate->chooseApp(); });
    connect(m_window->chooseInstalledAction(), &QAction::triggered, this,
            [delegate] { delegate->chooseInstalledApp(); });
    connect(m_window->fixButton(), &QPushButton::clicked, this,
            [delegate] { delegate->fixButtonMethod(); });
    connect(m_window->restoreButton(), &QPushButton::clicked, this,
            [delegate] { delegate->restoreButtonMethod(); });
    connect(m_window->cancelButton(), &QPushButton::clicked, this,
            [delegate] { delegate->stopProgress(); });
    m_window->kindChoices()->setOnToggled([delegate](const std::string& id, bool chosen) {
        if (const std::optional<EntryKind> kind = kindWithId(id)) {
            delegate->chooseKind(*kind, chosen);
        }
    });
    connect(m_window->quitAction(), &QAction::triggered, this,
            [delegate] { delegate->quitTheApp(); });
    connect(m_window->aboutAction(), &QAction::triggered, this, [this] { showAbout(); });
    QTextEdit* report = m_window->infoView();
    connect(report, &QTextEdit::textChanged, this, [this] { countEntries(); });
    connect(report, &QWidget::customContextMenuRequested, this, [this, report](const QPoint& at) {
        reportMenu(at)->exec(report->viewport()->mapToGlobal(at));
    });
    QPushButton* update = m_window->updateButton();
    connect(update, &QPushButton::clicked, this,
            [delegate, update] { delegate->checkUpdate(update); });
}

FrontEnd::~FrontEnd() {
    rememberedSettings()->setValue(kGeometryKey, m_window->saveGeometry());
}

void FrontEnd::countEntries() {
    const std::size_t count =
        m_delegate->fullFilePaths().size() + m_delegate->fullStatePaths().size();
    QLabel* label = m_window->entryCountLabel();
    const bool hard = m_delegate->safariAggressive();
    label->setText(QLocale().toString(static_cast<qulonglong>(count)) +
                   (count == 1 ? tr(" entry listed") : tr(" entries listed")) +
                   (hard ? tr(", and what the Hard reset takes") : QString()));
    label->setVisible(count > 0 || hard);
}

std::unique_ptr<QMenu> FrontEnd::reportMenu(const QPoint& point) {
    auto menu = std::make_unique<QMenu>(m_window.get());
    menu->setObjectName(QStringLiteral("reportMenu"));
    std::vector<std::string> listed = m_delegate->fullFilePaths();
    const std::vector<std::string>& state = m_delegate->fullStatePaths();
    listed.insert(listed.end(), state.begin(), state.end());

    QAction* copy = menu->addAction(tr("Copy List"));
    copy->setEnabled(!listed.empty());
    connect(copy, &QAction::triggered, this, [listed] {
        QString text;
        for (const std::string& path : listed) {
            text += QFile::decodeName(QByteArray::fromStdString(path)) + QLatin1Char('\n');
        }
        QGuiApplication::clipboard()->setText(text);
    });

    // The line under the pointer names an entry as the report shows it; the entry's full path
    // stands at the same place of its list.
    const QString line = m_window->infoView()->cursorForPosition(point).block().text();
    std::optional<std::string> entry;
    const auto find = [&](const PathList& shown, const PathList& full) {
        for (std::size_t i = 0; i < shown.size() && i < full.size() && !entry; ++i) {
            if (QString::fromStdString(shown[i]) == line) {
                entry = full[i];
            }
        }
    };
    find(m_delegate->shortFilePaths(), m_delegate->fullFilePaths());
    find(m_delegate->shortStatePaths(), m_delegate->fullStatePaths());
    QAction* show = menu->addAction(tr("Show in File Manager"));
    show->setEnabled(entry.has_value());
    connect(show, &QAction::triggered, this, [entry] {
        if (entry) {
            showInFileManager(QFile::decodeName(QByteArray::fromStdString(*entry)));
        }
    });
    return menu;
}

void FrontEnd::showAbout() {
    QMessageBox about(m_window.get());
    about.setObjectName(QStringLiteral("aboutBox"));
    about.setWindowTitle(QStringLiteral("About Corvane"));
    about.setTextFormat(Qt::PlainText);
    about.setText(QStringLiteral("Corvane %1").arg(QString::fromUtf8(build::kVersion)));
    // The project's page is a link when it is a secure address; none is shown otherwise.
    const QString page = QString::fromUtf8(build::kProductUrl);
    const bool linked = page.startsWith(QLatin1String("https://"));
    about.setInformativeText(
        QStringLiteral("<p>Returns a misbehaving application to its default settings.</p>"
                       "<p>%1<br>Licence: GPL-3.0-or-later</p>%2")
            .arg(QString::fromUtf8(build::kCopyright).toHtmlEscaped(),
                 linked ? QStringLiteral("<p><a href=\"%1\">%2</a></p>")
                              .arg(page.toHtmlEscaped(), page.toHtmlEscaped())
                        : QString()));
    for (QLabel* label : about.findChildren<QLabel*>()) {
        if (label->objectName() == QLatin1String("qt_msgbox_informativelabel")) {
            label->setTextFormat(Qt::RichText);
            label->setTextInteractionFlags(Qt::TextBrowserInteraction);
            // Through the same opener as the update's page: the browser never holds the window.
            connect(label, &QLabel::linkActivated, this, [this](const QString& link) {
                ProcessLauncher& launcher = m_host->ports().launcher;
                (void)launcher.run(launcher.toolPath(Tool::Open), {link.toStdString()});
            });
        }
    }
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
    m_window->restoreGeometry(rememberedSettings()->value(kGeometryKey).toByteArray());
    m_window->show();
    m_delegate->applicationWillFinishLaunching();
    if (application) {
        // A question the choice asks (Safari's) is placed over the window, which the desktop
        // places first; without that wait it would come up on its own in a corner.
        QElapsedTimer waited;
        waited.start();
        while (m_window->windowHandle() && !m_window->windowHandle()->isExposed() &&
               waited.elapsed() < kPlacementWaitMs) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 50);
        }
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
