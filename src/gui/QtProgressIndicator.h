#pragma once

#include "app/Controls.h"

#include <QPointer>

class QLabel;
class QProgressBar;

namespace corvane {

// A busy bar with a line of text under it ("Looking through your preferences: 12,345 items"), or,
// for work with a known total, a bar that fills ("Moving to the Trash: 1,088 of 4,000").
class QtProgressIndicator : public ProgressIndicator {
public:
    QtProgressIndicator(QProgressBar* bar, QLabel* label);
    void begin(const std::string& label, std::optional<std::size_t> total) override;
    void update(std::size_t itemsSeen) override;
    void end() override;

private:
    QPointer<QProgressBar> m_bar;
    QPointer<QLabel> m_label;
    QString m_text;
    std::optional<std::size_t> m_total;
};

} // namespace corvane
