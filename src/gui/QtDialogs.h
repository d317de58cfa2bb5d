#pragma once

#include "app/Dialogs.h"

#include <QPointer>
#include <QString>

class QWidget;

namespace corvane {

// Alerts as QMessageBox: runModal is application-modal, sheets are window-modal and
// non-blocking. Texts are plain text; Escape or closing the box presses no button.
class QtAlerts : public Alerts {
public:
    explicit QtAlerts(QWidget* mainWindow);
    int runModal(const Alert& alert) override;
    void beginSheet(const Alert& alert, Window* parent, std::function<void(int)> done) override;

private:
    QPointer<QWidget> m_mainWindow;
};

// An application-modal file dialog, titled with the panel's message, without a file-type filter.
// A folder named *.app is picked like a file; other folders are entered. It opens in the folder
// that holds the item picked last.
class QtOpenPanel : public OpenPanel {
public:
    explicit QtOpenPanel(QWidget* mainWindow);
    std::optional<std::string> runModal(const OpenPanelOptions& options) override;

private:
    QPointer<QWidget> m_mainWindow;
    QString m_lastPicked;
};

// The list of past resets: its accessible name, and the titles of its two buttons.
inline constexpr const char* kPastResetsName = "Past resets";
inline constexpr const char* kRestoreChosenTitle = "Restore";
inline constexpr const char* kCancelChoiceTitle = "Cancel";

// The kept resets in a list, newest first, one row each; only a reset with something still in
// the Trash can be chosen. Arrows move, Return restores, Escape cancels.
class QtResetChooser : public ResetChooser {
public:
    explicit QtResetChooser(QWidget* mainWindow);
    std::optional<std::size_t> chooseReset(const std::vector<PastReset>& resets,
                                           std::size_t preselected) override;

private:
    QPointer<QWidget> m_mainWindow;
};

// The list of installed applications: accessible names of its search field and list, and the
// title of the button that picks.
inline constexpr const char* kApplicationSearchName = "Search applications";
inline constexpr const char* kInstalledApplicationsName = "Installed applications";
inline constexpr const char* kChooseInstalledTitle = "Choose";

// The installed applications, one row each with its icon, name and id. Typing narrows the list
// by name or id; Return picks the application in focus (the first one shown when none is),
// a double-click picks the one clicked, Escape cancels.
class QtApplicationChooser : public ApplicationChooser {
public:
    explicit QtApplicationChooser(QWidget* mainWindow);
    std::optional<std::size_t>
    chooseApplication(const std::vector<InstalledChoice>& choices) override;

private:
    QPointer<QWidget> m_mainWindow;
};

} // namespace corvane
