#include "gui/QtProgressIndicator.h"

#include <QLabel>
#include <QLocale>
#include <QProgressBar>

namespace corvane {

QtProgressIndicator::QtProgressIndicator(QProgressBar* bar, QLabel* label)
    : m_bar(bar), m_label(label) {}

void QtProgressIndicator::begin(const std::string& label) {
    m_text = QString::fromStdString(label);
    if (m_bar) {
        m_bar->setRange(0, 0);
        m_bar->show();
    }
    if (m_label) {
        m_label->setText(m_text + QStringLiteral("..."));
        m_label->show();
    }
}

void QtProgressIndicator::update(std::size_t itemsSeen) {
    if (m_label) {
        m_label->setText(QStringLiteral("%1: %2 items")
                             .arg(m_text, QLocale().toString(static_cast<qulonglong>(itemsSeen))));
    }
}

void QtProgressIndicator::end() {
    if (m_bar) {
        m_bar->hide();
    }
    if (m_label) {
        m_label->hide();
    }
}

} // namespace corvane
