#pragma once

#include "app/Controls.h"

#include <QPointer>

class QLabel;
class QProgressBar;

namespace corvane {

// A busy bar with a line of text under it ("Looking through your preferences: 12,345 items").
class QtProgressIndicator : public ProgressIndicator {
public:
    QtProgressIndicator(QProgressBar* bar, QLabel* label);
    void begin(const std::string& label) override;
    void update(std::size_t itemsSeen) override;
    void end() override;

private:
    QPointer<QProgressBar> m_bar;
    QPointer<QLabel> m_label;
    QString m_text;
};

} // namespace corvane
