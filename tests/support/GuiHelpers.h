#pragma once

#include <QColor>
#include <QString>
#include <QTextEdit>
#include <QWidget>
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

} // namespace corvane::testing
