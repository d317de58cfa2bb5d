#pragma once

#include <QColor>
#include <QString>
#include <QTextEdit>
#include <QWidget>
#include <functional>
#include <vector>

namespace corvane::testing {

struct ColourRun {
    int start;
    int length;
    QColor colour;
};

// The colour runs of a text edit, in UTF-16 positions, adjacent runs of one colour merged.
std::vector<ColourRun> colourRuns(const QTextEdit& edit);

// The colour of the character at a UTF-16 position.
QColor colourAt(const QTextEdit& edit, int position);

// Saves a picture of the widget as build/screenshots/<name>.png and returns the path.
QString saveScreenshot(QWidget& widget, const QString& name);

// Presses the button titled `title` of the next modal alert once it is up, keeps the alert's
// text in `text`, then does `next`; polls from the event loop, so it works while the caller
// blocks in the alert's exec().
void answerAlert(const QString& title, QString* text, std::function<void()> next = {},
                 int attempts = 500);

} // namespace corvane::testing
