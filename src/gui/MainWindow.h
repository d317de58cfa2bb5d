#pragma once

#include "app/AppDelegate.h"
#include "gui/QtControls.h"
#include "gui/QtProgressIndicator.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QAction;
class QLabel;
class QMenuBar;
class QMimeData;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTextEdit;

namespace corvane {

// The main window: its controls, and the adapters through which the controller drives them.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    Outlets outlets();

    QPushButton* chooseButton() const { return m_chooseButton; }
    QLineEdit* nameField() const { return m_nameField; }
    QTextEdit* infoView() const { return m_infoView; }
    QPushButton* fixButton() const { return m_fixButton; }
    QLabel* iconView() const { return m_iconView; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QPushButton* updateButton() const { return m_updateButton; }
    QPushButton* restoreButton() const { return m_restoreButton; }

    // Shows a short notice in the window without blocking it (used where no desktop
    // notification service answers).
    void showNotice(const QString& text);
    QLabel* noticeLabel() const { return m_notice; }
    QProgressBar* busyBar() const { return m_busyBar; }
    QLabel* busyLabel() const { return m_busyLabel; }
    QLabel* hintLabel() const { return m_hint; }
    // How many entries the report lists, beside it; hidden when it lists none.
    QLabel* entryCountLabel() const { return m_entryCount; }
    // The row of check boxes, one per kind of entry found.
    QWidget* kindRow() const { return m_kindRow; }
    QtKindChoices* kindChoices() const { return m_kindAdapter.get(); }
    QMenuBar* menuBar() const { return m_menuBar; }
    // The menu items, each the keyboard's and the menu's way to a control of the window.
    QAction* chooseAction() const { return m_chooseAction; }
    QAction* chooseInstalledAction() const { return m_chooseInstalledAction; }
    QAction* restoreAction() const { return m_restoreAction; }
    QAction* quitAction() const { return m_quitAction; }
    QAction* updateAction() const { return m_updateAction; }
    QAction* aboutAction() const { return m_aboutAction; }

    // Whether a dropped item may be taken now; nothing is taken until this is set.
    void setDropAllowed(std::function<bool()> allowed) { m_dropAllowed = std::move(allowed); }

signals:
    // An item (the first local file of a drag) was dropped on the window while drops were taken.
    void itemDropped(const QString& path);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // A theme or palette changed while running is followed at once.
    void changeEvent(QEvent* event) override;
    // A menu item is available exactly when its control is.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void followControls();
    void followPalette();
    void pressIfAvailable(QPushButton* button);

    // The local file a drag carries first, if drops are taken now.
    std::optional<QString> droppable(const QMimeData* mime) const;

    std::function<bool()> m_dropAllowed;
    QPushButton* m_chooseButton;
    QLineEdit* m_nameField;
    QTextEdit* m_infoView;
    QPushButton* m_fixButton;
    QLabel* m_iconView;
    QPushButton* m_cancelButton;
    QPushButton* m_updateButton;
    QPushButton* m_restoreButton;
    QLabel* m_notice;
    QProgressBar* m_busyBar;
    QLabel* m_busyLabel;
    QLabel* m_hint;
    QLabel* m_entryCount;
    QWidget* m_kindRow;
    QMenuBar* m_menuBar;
    QAction* m_chooseAction;
    QAction* m_chooseInstalledAction;
    QAction* m_restoreAction;
    QAction* m_quitAction;
    QAction* m_updateAction;
    QAction* m_aboutAction;

    std::unique_ptr<QtWindow> m_windowAdapter;
    std::unique_ptr<QtButton> m_chooseAdapter;
    std::unique_ptr<QtTextField> m_nameAdapter;
    std::unique_ptr<QtTextView> m_infoAdapter;
    std::unique_ptr<QtButton> m_fixAdapter;
    std::unique_ptr<QtImageView> m_iconAdapter;
    std::unique_ptr<QtProgressIndicator> m_progressAdapter;
    std::unique_ptr<QtButton> m_restoreAdapter;
    std::unique_ptr<QtLabel> m_hintAdapter;
    std::unique_ptr<QtKindChoices> m_kindAdapter;
};

} // namespace corvane
