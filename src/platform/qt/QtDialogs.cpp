#include "platform/qt/QtDialogs.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QKeySequence>
#include <QMessageBox>
#include <QPushButton>

namespace corvane {

namespace {

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

// Builds the box; returns the buttons in the order they were added.
QList<QPushButton*> fill(QMessageBox& box, const Alert& alert) {
    box.setIcon(iconFor(alert.style));
    box.setWindowTitle(QStringLiteral("Corvane"));
    box.setText(QString::fromStdString(alert.messageText));
    box.setInformativeText(QString::fromStdString(alert.informativeText));
    QList<QPushButton*> buttons;
    std::vector<AlertButton> specs = alert.buttons;
    if (specs.empty()) {
        specs.push_back({"OK", std::string("\r")});
    }
    for (std::size_t i = 0; i < specs.size(); ++i) {
        const AlertButton& spec = specs[i];
        QPushButton* button =
            box.addButton(QString::fromStdString(spec.title), QMessageBox::ActionRole);
        button->setObjectName(QStringLiteral("alertButton%1").arg(i));
        // The first button is the default unless another one claims Return.
        const bool claimsReturn = spec.keyEquivalent && *spec.keyEquivalent == "\r";
        const bool noKey = spec.keyEquivalent && spec.keyEquivalent->empty();
        if (claimsReturn || (i == 0 && !noKey && !spec.keyEquivalent)) {
            box.setDefaultButton(button);
        }
        buttons.push_back(button);
    }
    bool anyDefault = false;
    for (QPushButton* button : buttons) {
        anyDefault = anyDefault || button->isDefault();
    }
    if (!anyDefault) {
        for (QPushButton* button : buttons) {
            button->setAutoDefault(false);
        }
    }
    return buttons;
}

} // namespace

QtAlerts::QtAlerts(QWidget* mainWindow) : m_mainWindow(mainWindow) {}

int QtAlerts::runModal(const Alert& alert) {
    QMessageBox box(m_mainWindow);
    box.setWindowModality(Qt::ApplicationModal);
    const QList<QPushButton*> buttons = fill(box, alert);
    box.exec();
    const auto index = static_cast<int>(buttons.indexOf(qobject_cast<QPushButton*>(box.clickedButton())));
    return kAlertFirstButtonReturn + (index < 0 ? 0 : index);
}

void QtAlerts::beginSheet(const Alert& alert, Window*, std::function<void(int)> done) {
    auto* box = new QMessageBox(m_mainWindow);
    box->setObjectName(QStringLiteral("sheet"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    const QList<QPushButton*> buttons = fill(*box, alert);
    QObject::connect(box, &QMessageBox::buttonClicked, box,
                     [buttons, done = std::move(done)](QAbstractButton* clicked) {
                         const auto index = static_cast<int>(buttons.indexOf(qobject_cast<QPushButton*>(clicked)));
                         if (done) {
                             done(kAlertFirstButtonReturn + (index < 0 ? 0 : index));
                         }
                     });
    box->open();
}

QtOpenPanel::QtOpenPanel(QWidget* mainWindow) : m_mainWindow(mainWindow) {}

std::optional<std::string> QtOpenPanel::runModal(const OpenPanelOptions& options) {
    QFileDialog dialog(m_mainWindow, QString::fromStdString(options.message));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first().toStdString();
}

} // namespace corvane
