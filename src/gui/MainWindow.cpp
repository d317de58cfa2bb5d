#include "gui/MainWindow.h"

#include "gui/Images.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace corvane {

MainWindow::MainWindow(QWidget* parent)
    : QWidget(parent), m_chooseButton(new QPushButton(this)), m_nameField(new QLineEdit(this)),
      m_infoView(new QTextEdit(this)), m_fixButton(new QPushButton(tr("Fix"), this)),
      m_iconView(new QLabel(this)), m_cancelButton(new QPushButton(tr("(X)"), this)),
      m_updateButton(new QPushButton(tr("Check for Updates"), this)),
      m_restoreButton(new QPushButton(tr("Restore"), this)), m_notice(new QLabel(this)),
      m_busyBar(new QProgressBar(this)), m_busyLabel(new QLabel(this)), m_hint(new QLabel(this)),
      m_entryCount(new QLabel(this)), m_kindRow(new QWidget(this)) {
    // An application dragged from a file manager is chosen as the file dialog would.
    setAcceptDrops(true);
    setWindowTitle(QStringLiteral("Corvane"));
    setObjectName(QStringLiteral("mainWindow"));

    m_chooseButton->setObjectName(QStringLiteral("chooseButton"));
    m_chooseButton->setAccessibleName(tr("Choose application"));
    m_chooseButton->setToolTip(tr("Choose the application to reset"));
    m_chooseButton->setStatusTip(m_chooseButton->toolTip());
    m_chooseButton->setIcon(namedIcon(QLatin1String(kChooseButtonImage)));
    m_chooseButton->setIconSize(QSize(72, 72));
    m_chooseButton->setFixedSize(96, 96);
    m_chooseButton->setFlat(true);

    m_iconView->setObjectName(QStringLiteral("iconView"));
    m_iconView->setAccessibleName(tr("Application icon"));
    m_iconView->setFixedSize(96, 96);
    m_iconView->setAlignment(Qt::AlignCenter);
    m_iconView->hide();

    m_nameField->setObjectName(QStringLiteral("nameField"));
    m_nameField->setAccessibleName(tr("Application name"));
    m_nameField->setReadOnly(true);
    m_nameField->setFrame(false);
    m_nameField->setFocusPolicy(Qt::NoFocus);
    QFont nameFont = m_nameField->font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.3);
    nameFont.setBold(true);
    m_nameField->setFont(nameFont);

    m_infoView->setObjectName(QStringLiteral("infoView"));
    m_infoView->setAccessibleName(tr("Information"));
    m_infoView->setReadOnly(true);
    m_infoView->setFrameShape(QFrame::NoFrame);
    m_infoView->setMinimumSize(460, 240);
    m_infoView->setContextMenuPolicy(Qt::CustomContextMenu);

    m_entryCount->setObjectName(QStringLiteral("entryCountLabel"));
    m_entryCount->setAccessibleName(tr("Entries listed"));
    m_entryCount->setTextFormat(Qt::PlainText);
    m_entryCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_entryCount->setForegroundRole(QPalette::PlaceholderText);
    m_entryCount->hide();

    m_kindRow->setObjectName(QStringLiteral("kindRow"));
    m_kindRow->setAccessibleName(tr("Kinds of entries to remove"));
    auto* kinds = new QHBoxLayout(m_kindRow);
    kinds->setContentsMargins(0, 0, 0, 0);
    kinds->addStretch();
    m_kindRow->hide();

    m_fixButton->setObjectName(QStringLiteral("fixButton"));
    m_fixButton->setAccessibleName(tr("Fix"));
    m_fixButton->setEnabled(false);
    m_fixButton->setDefault(true);

    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setAccessibleName(tr("Cancel"));
    m_cancelButton->setToolTip(tr("Start again"));

    m_updateButton->setObjectName(QStringLiteral("updateButton"));
    m_updateButton->setAccessibleName(tr("Check for updates"));

    m_restoreButton->setObjectName(QStringLiteral("restoreButton"));
    m_restoreButton->setAccessibleName(tr("Restore"));
    m_restoreButton->setToolTip(tr("Put back the settings of a past reset"));
    m_restoreButton->setEnabled(false);

    m_notice->setObjectName(QStringLiteral("noticeLabel"));
    m_notice->setWordWrap(true);
    m_notice->setTextFormat(Qt::PlainText);
    m_notice->hide();

    m_busyBar->setObjectName(QStringLiteral("busyBar"));
    m_busyBar->setAccessibleName(tr("Work in progress"));
    m_busyBar->setTextVisible(false);
    m_busyBar->setMaximumHeight(8);
    m_busyBar->hide();
    m_busyLabel->setObjectName(QStringLiteral("busyLabel"));
    m_busyLabel->setTextFormat(Qt::PlainText);
    m_busyLabel->setMinimumHeight(m_busyLabel->fontMetrics().height());
    m_busyLabel->hide();
    // Their place is kept while they are hidden, so the window keeps its size when work starts
    // and ends.
    for (QWidget* busy : std::initializer_list<QWidget*>{m_busyBar, m_busyLabel, m_entryCount}) {
        QSizePolicy policy = busy->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        busy->setSizePolicy(policy);
    }

    m_hint->setObjectName(QStringLiteral("hintLabel"));
    m_hint->setAccessibleName(tr("Hint"));
    m_hint->setTextFormat(Qt::PlainText);
    m_hint->setWordWrap(true);
    // A quieter text than the labels', in whatever colours the desktop's theme has.
    m_hint->setForegroundRole(QPalette::PlaceholderText);
    m_hint->hide();

    auto* top = new QHBoxLayout;
    top->addWidget(m_chooseButton);
    top->addWidget(m_iconView);
    // The hint stands beside the magnifier it speaks of; the name field is empty meanwhile.
    top->addWidget(m_hint);
    top->addWidget(m_nameField, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_cancelButton);
    bottom->addWidget(m_updateButton);
    bottom->addStretch(1);
    bottom->addWidget(m_restoreButton);
    bottom->addWidget(m_fixButton);

    auto* layout = new QVBoxLayout(this);
    buildMenus();
    layout->setMenuBar(m_menuBar);
    layout->addLayout(top);
    layout->addWidget(m_infoView, 1);
    layout->addWidget(m_kindRow);
    layout->addWidget(m_entryCount);
    layout->addWidget(m_busyBar);
    layout->addWidget(m_busyLabel);
    layout->addWidget(m_notice);
    layout->addLayout(bottom);
    resize(560, 440);

    m_windowAdapter = std::make_unique<QtWindow>(this);
    m_chooseAdapter = std::make_unique<QtButton>(m_chooseButton);
    m_nameAdapter = std::make_unique<QtTextField>(m_nameField);
    m_infoAdapter = std::make_unique<QtTextView>(m_infoView);
    m_fixAdapter = std::make_unique<QtButton>(m_fixButton);
    m_iconAdapter = std::make_unique<QtImageView>(m_iconView);
    m_progressAdapter = std::make_unique<QtProgressIndicator>(m_busyBar, m_busyLabel);
    m_restoreAdapter = std::make_unique<QtButton>(m_restoreButton);
    m_hintAdapter = std::make_unique<QtLabel>(m_hint);
    m_kindAdapter = std::make_unique<QtKindChoices>(m_kindRow);
    // The report's colours follow the palette of its own view, which changes after the window's.
    m_infoView->installEventFilter(this);
    followPalette();
}

MainWindow::~MainWindow() = default;

void MainWindow::followPalette() {
    // The name reads as a heading on the window, not as a field of its own: the window's colours.
    QPalette name = palette();
    name.setColor(QPalette::Base, name.color(QPalette::Window));
    name.setColor(QPalette::Text, name.color(QPalette::WindowText));
    m_nameField->setPalette(name);
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
        followPalette();
    }
    QWidget::changeEvent(event);
}

void MainWindow::buildMenus() {
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("menuBar"));
    QMenu* file = m_menuBar->addMenu(tr("&File"));
    m_chooseAction = file->addAction(tr("Choose Application..."));
    m_chooseAction->setShortcut(QKeySequence::Open);
    // Beside the file panel for bundles: the desktop's installed applications, by name and id.
    m_chooseInstalledAction = file->addAction(tr("Choose Installed Application..."));
    m_restoreAction = file->addAction(tr("Restore..."));
    // Restore undoes the latest reset, so it takes the desktop's key for undoing.
    m_restoreAction->setShortcut(QKeySequence::Undo);
    file->addSeparator();
    m_quitAction = file->addAction(tr("Quit"));
    m_quitAction->setShortcut(QKeySequence::Quit);
    m_quitAction->setMenuRole(QAction::QuitRole);
    QMenu* help = m_menuBar->addMenu(tr("&Help"));
    m_updateAction = help->addAction(tr("Check for Updates"));
    m_aboutAction = help->addAction(tr("About Corvane"));
    m_aboutAction->setMenuRole(QAction::AboutRole);
    // The items do what their controls do, by pressing them: one path for each action.
    connect(m_chooseAction, &QAction::triggered, m_chooseButton, &QPushButton::click);
    connect(m_restoreAction, &QAction::triggered, m_restoreButton, &QPushButton::click);
    connect(m_updateAction, &QAction::triggered, m_updateButton, &QPushButton::click);
    for (QPushButton* control : {m_chooseButton, m_restoreButton, m_updateButton}) {
        control->installEventFilter(this);
    }
    followControls();

    // Fix is drawn as the default button, and Return presses it as a dialog's would; Escape
    // presses (X) wherever it is shown. Busy work never sees either: its input gate drops them.
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        connect(new QShortcut(key, this), &QShortcut::activated, this,
                [this] { pressIfAvailable(m_fixButton); });
    }
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this,
            [this] { pressIfAvailable(m_cancelButton); });
}

void MainWindow::pressIfAvailable(QPushButton* button) {
    if (button->isEnabled() && button->isVisibleTo(this)) {
        button->click();
    }
}

void MainWindow::followControls() {
    // Choosing is open whenever the window is not busy; a new choice replaces the one shown.
    m_chooseAction->setEnabled(m_chooseButton->isEnabled());
    m_chooseInstalledAction->setEnabled(m_chooseButton->isEnabled());
    m_restoreAction->setEnabled(m_restoreButton->isEnabled());
    m_updateAction->setEnabled(m_updateButton->isEnabled());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_infoView) {
        if (event->type() == QEvent::PaletteChange && m_infoAdapter) {
            m_infoAdapter->followPalette();
        }
        return QWidget::eventFilter(watched, event);
    }
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::ShowToParent ||
        event->type() == QEvent::HideToParent) {
        followControls();
    }
    return QWidget::eventFilter(watched, event);
}

Outlets MainWindow::outlets() {
    return {m_windowAdapter.get(),   m_chooseAdapter.get(),  m_nameAdapter.get(),
            m_infoAdapter.get(),     m_fixAdapter.get(),     m_iconAdapter.get(),
            m_progressAdapter.get(), m_restoreAdapter.get(), m_hintAdapter.get(),
            m_kindAdapter.get()};
}

void MainWindow::showNotice(const QString& text) {
    m_notice->setText(text);
    m_notice->show();
    QTimer::singleShot(8000, m_notice, &QLabel::hide);
}

std::optional<QString> MainWindow::droppable(const QMimeData* mime) const {
    if (!mime || !m_dropAllowed || !m_dropAllowed()) {
        return std::nullopt;
    }
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) {
            return url.toLocalFile();
        }
    }
    return std::nullopt;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (droppable(event->mimeData())) {
        event->acceptProposedAction();
    }
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (droppable(event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void MainWindow::dropEvent(QDropEvent* event) {
    // Asked again: the window may have become busy since the drag entered.
    if (const std::optional<QString> path = droppable(event->mimeData())) {
        event->acceptProposedAction();
        emit itemDropped(*path);
    } else {
        event->ignore();
    }
}

} // namespace corvane
