#include "gui/QtDialogs.h"

#include "gui/Settings.h"

#include <QAbstractButton>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace corvane {

namespace {

const QString kLastFolderKey = QStringLiteral("openPanel/lastFolder");

QMessageBox::Icon iconFor(AlertStyle style) {
    switch (style) {
    case AlertStyle::Informational:
        return QMessageBox::Information;
    case AlertStyle::Critical:
        return QMessageBox::Critical;
    case AlertStyle::Warning:
        break;
    }
    return QMessageBox::Warning;
}

// A message box that Escape or its window's close button dismisses without pressing any of its
// buttons. (QMessageBox would otherwise ignore both, or press a button it picks itself.)
class AlertBox : public QMessageBox {
public:
    explicit AlertBox(QWidget* parent) : QMessageBox(parent) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Cancel)) {
            reject();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    // QMessageBox would press its escape button on close; closing is a dismissal here.
    // NOLINTNEXTLINE(bugprone-parent-virtual-call): skipping QMessageBox's handler is the point
    void closeEvent(QCloseEvent* event) override { QDialog::closeEvent(event); }
};

// Shows texts as written: a name such as "<u>Under<i>.app" is not markup.
void showAsPlainText(QMessageBox& box) {
    box.setTextFormat(Qt::PlainText);
    for (QLabel* label : box.findChildren<QLabel*>()) {
        label->setTextFormat(Qt::PlainText);
    }
    if (auto* message = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        message->setWordWrap(true);
    }
}

// Builds the box; returns the buttons in the order the alert lists them. They are added to the
// box in reverse, so that the first one ends up rightmost as in the alerts of macOS.
QList<QPushButton*> fill(QMessageBox& box, const Alert& alert) {
    box.setIcon(iconFor(alert.style));
    box.setWindowTitle(QStringLiteral("Corvane"));
    box.setText(QString::fromStdString(alert.messageText));
    box.setInformativeText(QString::fromStdString(alert.informativeText));
    showAsPlainText(box);
    std::vector<AlertButton> wanted = alert.buttons;
    if (wanted.empty()) {
        wanted.push_back({"OK", std::string("\r")});
    }
    QList<QPushButton*> buttons(static_cast<qsizetype>(wanted.size()), nullptr);
    for (std::size_t i = wanted.size(); i-- > 0;) {
        // "&" marks a keyboard mnemonic in a Qt button title; titles are shown as written.
        QString title = QString::fromStdString(wanted[i].title);
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QPushButton* button = box.addButton(title, QMessageBox::ActionRole);
        button->setObjectName(QStringLiteral("alertButton%1").arg(i));
        buttons[static_cast<qsizetype>(i)] = button;
    }
    // Return presses the button that claims it, else the first one unless that one asks for no
    // key. Focus never moves Return to another button: those are pressed only by themselves.
    QPushButton* returnButton = nullptr;
    for (std::size_t i = 0; i < wanted.size() && !returnButton; ++i) {
        if (wanted[i].keyEquivalent == std::optional<std::string>("\r")) {
            returnButton = buttons[static_cast<qsizetype>(i)];
        }
    }
    if (!returnButton && !wanted.front().keyEquivalent) {
        returnButton = buttons.front();
    }
    for (QPushButton* button : buttons) {
        button->setAutoDefault(false);
    }
    if (returnButton) {
        box.setDefaultButton(returnButton);
    }
    return buttons;
}

int responseFor(const QList<QPushButton*>& buttons, QAbstractButton* clicked) {
    const auto index = buttons.indexOf(qobject_cast<QPushButton*>(clicked));
    return index < 0 ? kAlertDismissedReturn : kAlertFirstButtonReturn + static_cast<int>(index);
}

// The open panel of macOS shows an application bundle as one item that is picked like a file;
// this dialog does the same for folders named *.app, and enters every other folder.
class BundlePickingFileDialog : public QFileDialog {
public:
    BundlePickingFileDialog(QWidget* parent, const OpenPanelOptions& options)
        : QFileDialog(parent, QString::fromStdString(options.message)),
          m_foldersPickable(options.canChooseDirectories) {
        setObjectName(QStringLiteral("openPanel"));
        setAccessibleDescription(QString::fromStdString(options.message));
        setOption(QFileDialog::DontUseNativeDialog);
        setFileMode(options.canChooseFiles ? QFileDialog::ExistingFile : QFileDialog::Directory);
        // Opening a bundle by double-click enters it; take that as picking it.
        connect(this, &QFileDialog::directoryEntered, this, [this](const QString& folder) {
            if (isPickableFolder(folder)) {
                pick(folder);
            }
        });
    }

    const QString& picked() const { return m_picked; }

    void accept() override {
        // A name typed in full wins over the list's selection, which typing a path can leave
        // holding each folder passed on the way.
        if (const std::optional<QFileInfo> typed = typedItem()) {
            if (typed->isDir() && !isPickableFolder(typed->filePath())) {
                setDirectory(typed->filePath());
                if (auto* name = nameField()) {
                    name->clear();
                }
            } else {
                pick(typed->filePath());
            }
            return;
        }
        const QStringList files = selectedFiles();
        if (files.size() == 1 && isPickableFolder(files.first())) {
            pick(files.first());
            return;
        }
        QFileDialog::accept();
        if (result() == QDialog::Accepted && !files.isEmpty()) {
            m_picked = files.first();
        }
    }

private:
    QLineEdit* nameField() const { return findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }

    // The existing item named in the name field, by full path or relative to the folder shown.
    std::optional<QFileInfo> typedItem() const {
        const QLineEdit* name = nameField();
        if (!name || name->text().isEmpty()) {
            return std::nullopt;
        }
        const QString text = name->text();
        const QFileInfo info(QDir::isAbsolutePath(text) ? text
                                                        : directory().absoluteFilePath(text));
        if (!info.exists() || (!info.isDir() && fileMode() == QFileDialog::Directory)) {
            return std::nullopt;
        }
        return info;
    }

    bool isPickableFolder(const QString& path) const {
        const QFileInfo info(path);
        return info.isDir() && (m_foldersPickable || info.fileName().endsWith(QLatin1String(".app"),
                                                                              Qt::CaseInsensitive));
    }

    void pick(const QString& path) {
        m_picked = QFileInfo(path).absoluteFilePath();
        // QFileDialog::accept would enter a picked bundle as a folder; the pick is ours already.
        QDialog::accept(); // NOLINT(bugprone-parent-virtual-call)
    }

    bool m_foldersPickable;
    QString m_picked;
};

} // namespace

QtAlerts::QtAlerts(QWidget* mainWindow) : m_mainWindow(mainWindow) {}

int QtAlerts::runModal(const Alert& alert) {
    AlertBox box(m_mainWindow);
    box.setWindowModality(Qt::ApplicationModal);
    const QList<QPushButton*> buttons = fill(box, alert);
    box.exec();
    return responseFor(buttons, box.clickedButton());
}

void QtAlerts::beginSheet(const Alert& alert, Window*, std::function<void(int)> done) {
    auto* box = new AlertBox(m_mainWindow);
    box->setObjectName(QStringLiteral("sheet"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    const QList<QPushButton*> buttons = fill(*box, alert);
    QObject::connect(box, &QMessageBox::buttonClicked, box,
                     [buttons, done = std::move(done)](QAbstractButton* clicked) {
                         if (done) {
                             done(responseFor(buttons, clicked));
                         }
                     });
    box->open();
}

QtOpenPanel::QtOpenPanel(QWidget* mainWindow) : m_mainWindow(mainWindow) {}

std::optional<std::string> QtOpenPanel::runModal(const OpenPanelOptions& options) {
    BundlePickingFileDialog dialog(m_mainWindow, options);
    dialog.setWindowModality(Qt::ApplicationModal);
    // Picking a bundle enters it; the next choice starts beside it instead, in this run and the
    // next.
    const QString folder = m_lastPicked.isEmpty()
                               ? rememberedSettings()->value(kLastFolderKey).toString()
                               : QFileInfo(m_lastPicked).absolutePath();
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
        dialog.setDirectory(folder);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.picked().isEmpty()) {
        return std::nullopt;
    }
    m_lastPicked = QFileInfo(dialog.picked()).absoluteFilePath();
    rememberedSettings()->setValue(kLastFolderKey, QFileInfo(m_lastPicked).absolutePath());
    return QFile::encodeName(m_lastPicked).toStdString();
}

QtResetChooser::QtResetChooser(QWidget* mainWindow) : m_mainWindow(mainWindow) {}

std::optional<std::size_t> QtResetChooser::chooseReset(const std::vector<PastReset>& resets,
                                                       std::size_t preselected) {
    QDialog dialog(m_mainWindow);
    dialog.setObjectName(QStringLiteral("pastResetsDialog"));
    dialog.setWindowTitle(QStringLiteral("Restore"));
    dialog.setWindowModality(Qt::ApplicationModal);

    auto* prompt = new QLabel(QStringLiteral("Choose the reset to put back:"), &dialog);
    prompt->setTextFormat(Qt::PlainText);

    auto* list = new QTreeWidget(&dialog);
    list->setObjectName(QStringLiteral("pastResets"));
    list->setAccessibleName(QString::fromUtf8(kPastResetsName));
    prompt->setBuddy(list);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setHeaderLabels({QStringLiteral("Reset on"), QStringLiteral("Application"),
                           QStringLiteral("Entries"), QStringLiteral("Can come back")});
    for (const PastReset& reset : resets) {
        auto* item = new QTreeWidgetItem(
            list, {QString::fromStdString(reset.time), QString::fromStdString(reset.application),
                   QString::fromStdString(reset.entries), QString::fromStdString(reset.comeBack)});
        // A tooltip may be read as rich text; the names are escaped so they show as written.
        const QString details = QString::fromStdString(reset.details).trimmed();
        for (int column = 0; column < list->columnCount() && !details.isEmpty(); ++column) {
            item->setToolTip(
                column,
                QStringLiteral("<p style='white-space:pre'>%1</p>").arg(details.toHtmlEscaped()));
        }
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        // Only a reset with something still in the Trash can be chosen; arrows pass the others.
        item->setFlags(reset.restorable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable
                                        : Qt::NoItemFlags);
    }
    for (int column = 0; column < list->columnCount(); ++column) {
        list->resizeColumnToContents(column);
    }

    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* restore =
        buttons->addButton(QString::fromUtf8(kRestoreChosenTitle), QDialogButtonBox::AcceptRole);
    QPushButton* cancel =
        buttons->addButton(QString::fromUtf8(kCancelChoiceTitle), QDialogButtonBox::RejectRole);
    restore->setAccessibleName(restore->text());
    cancel->setAccessibleName(cancel->text());
    restore->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    const auto chosenRow = [list]() -> std::optional<std::size_t> {
        QTreeWidgetItem* current = list->currentItem();
        if (!current || !(current->flags() & Qt::ItemIsSelectable)) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(list->indexOfTopLevelItem(current));
    };
    QObject::connect(list, &QTreeWidget::currentItemChanged, restore,
                     [restore, chosenRow] { restore->setEnabled(chosenRow().has_value()); });
    QObject::connect(list, &QTreeWidget::itemDoubleClicked, &dialog, [&dialog, chosenRow] {
        if (chosenRow()) {
            dialog.accept();
        }
    });
    if (preselected < resets.size()) {
        list->setCurrentItem(list->topLevelItem(static_cast<int>(preselected)));
    }
    restore->setEnabled(chosenRow().has_value());

    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(prompt);
    layout->addWidget(list, 1);
    layout->addWidget(buttons);
    // Wide enough for every column without a scroll bar, tall enough for a few rows.
    const int columnsWidth = list->header()->length() + 2 * list->frameWidth() + 4;
    list->setMinimumWidth(columnsWidth);
    list->setMinimumHeight(list->sizeHintForRow(0) * 6 + list->header()->sizeHint().height());
    list->setFocus();

    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return chosenRow();
}

QtApplicationChooser::QtApplicationChooser(QWidget* mainWindow) : m_mainWindow(mainWindow) {}

std::optional<std::size_t>
QtApplicationChooser::chooseApplication(const std::vector<InstalledChoice>& choices) {
    QDialog dialog(m_mainWindow);
    dialog.setObjectName(QStringLiteral("installedApplicationsDialog"));
    dialog.setWindowTitle(QStringLiteral("Choose Application"));
    dialog.setWindowModality(Qt::ApplicationModal);

    auto* search = new QLineEdit(&dialog);
    search->setObjectName(QStringLiteral("applicationSearch"));
    search->setAccessibleName(QString::fromUtf8(kApplicationSearchName));
    search->setPlaceholderText(QStringLiteral("Name or id"));
    search->setClearButtonEnabled(true);

    auto* model = new QStandardItemModel(&dialog);
    for (std::size_t i = 0; i < choices.size(); ++i) {
        const QString name = QString::fromStdString(choices[i].name);
        const QString id = QString::fromStdString(choices[i].id);
        auto* item = new QStandardItem(name + QLatin1Char('\n') + id);
        const QString icon = QString::fromStdString(choices[i].icon);
        item->setIcon(QDir::isAbsolutePath(icon) ? QIcon(icon) : QIcon::fromTheme(icon));
        item->setData(QVariant::fromValue(static_cast<qulonglong>(i)), Qt::UserRole);
        item->setData(name + QLatin1Char(' ') + id, Qt::UserRole + 1);
        item->setEditable(false);
        model->appendRow(item);
    }
    auto* shown = new QSortFilterProxyModel(&dialog);
    shown->setSourceModel(model);
    shown->setFilterRole(Qt::UserRole + 1);
    shown->setFilterCaseSensitivity(Qt::CaseInsensitive);

    auto* list = new QListView(&dialog);
    list->setObjectName(QStringLiteral("installedApplications"));
    list->setAccessibleName(QString::fromUtf8(kInstalledApplicationsName));
    list->setModel(shown);
    list->setUniformItemSizes(true);
    list->setIconSize(QSize(32, 32));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);

    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* choose =
        buttons->addButton(QString::fromUtf8(kChooseInstalledTitle), QDialogButtonBox::AcceptRole);
    QPushButton* cancel =
        buttons->addButton(QString::fromUtf8(kCancelChoiceTitle), QDialogButtonBox::RejectRole);
    choose->setAccessibleName(choose->text());
    cancel->setAccessibleName(cancel->text());
    choose->setDefault(true);

    // The row in focus, else the first one the search leaves.
    const auto chosenRow = [list, shown]() -> std::optional<std::size_t> {
        QModelIndex index = list->currentIndex();
        if (!index.isValid() && shown->rowCount() > 0) {
            index = shown->index(0, 0);
        }
        if (!index.isValid()) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(index.data(Qt::UserRole).toULongLong());
    };
    const auto pickIfAny = [&dialog, chosenRow] {
        if (chosenRow()) {
            dialog.accept();
        }
    };
    QObject::connect(search, &QLineEdit::textChanged, list,
                     [list, shown, choose](const QString& text) {
                         shown->setFilterFixedString(text);
                         list->setCurrentIndex(shown->index(0, 0));
                         choose->setEnabled(shown->rowCount() > 0);
                     });
    QObject::connect(search, &QLineEdit::returnPressed, &dialog, pickIfAny);
    QObject::connect(list, &QListView::activated, &dialog, pickIfAny);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, pickIfAny);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    list->setCurrentIndex(shown->index(0, 0));
    choose->setEnabled(shown->rowCount() > 0);

    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(search);
    layout->addWidget(list, 1);
    layout->addWidget(buttons);
    list->setMinimumHeight(list->sizeHintForRow(0) * 8 + 2 * list->frameWidth());
    search->setFocus();

    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return chosenRow();
}

} // namespace corvane
