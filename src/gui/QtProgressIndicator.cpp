#include "gui/QtProgressIndicator.h"

#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <algorithm>

namespace corvane {

QtProgressIndicator::QtProgressIndicator(QProgressBar* bar, QLabel* label)
    : m_bar(bar), m_label(label) {}

namespace {
// A progress bar counts in int; a larger total is scaled down to this many steps.
constexpr std::size_t kBarSteps = 1'000'000;
} // namespace

void QtProgressIndicator::begin(const std::string& label, std::optional<std::size_t> total) {
    m_text = QString::fromStdString(label);
    m_total = total;
    if (m_bar) {
        m_bar->setRange(0, total ? static_cast<int>(std::min(*total, kBarSteps)) : 0);
        m_bar->setValue(0);
        m_bar->show();
    }
    if (m_label) {
        m_label->setText(m_text + QStringLiteral("..."));
        m_label->show();
    }
}

void QtProgressIndicator::update(std::size_t itemsSeen) {
    const QLocale locale;
    if (m_total) {
        const std::size_t done = std::min(itemsSeen, *m_total);
        if (m_bar && *m_total > 0) {
            const double share = static_cast<double>(done) / static_cast<double>(*m_total);
            m_bar->setValue(static_cast<int>(share * m_bar->maximum()));
        }
        if (m_label) {
            m_label->setText(QStringLiteral("%1: %2 of %3")
                                 .arg(m_text, locale.toString(static_cast<qulonglong>(done)),
                                      locale.toString(static_cast<qulonglong>(*m_total))));
        }
        return;
    }
    if (m_label) {
        m_label->setText(QStringLiteral("%1: %2 items")
                             .arg(m_text, locale.toString(static_cast<qulonglong>(itemsSeen))));
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
