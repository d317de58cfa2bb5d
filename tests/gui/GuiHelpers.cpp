#include "support/GuiHelpers.h"

#include "TestPaths.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <gtest/gtest.h>

namespace corvane::testing {

std::vector<ColourRun> colourRuns(const QTextEdit& edit) {
    std::vector<ColourRun> runs;
    for (QTextBlock block = edit.document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QColor colour = fragment.charFormat().foreground().color();
            if (!runs.empty() && runs.back().colour == colour &&
                runs.back().start + runs.back().length >= fragment.position() - 1) {
                runs.back().length = fragment.position() + fragment.length() - runs.back().start;
            } else {
                runs.push_back({fragment.position(), fragment.length(), colour});
            }
        }
    }
    return runs;
}

QColor colourAt(const QTextEdit& edit, int position) {
    for (const ColourRun& run : colourRuns(edit)) {
        if (position >= run.start && position < run.start + run.length) {
            return run.colour;
        }
    }
    return {};
}

QString saveScreenshot(QWidget& widget, const QString& name) {
    const QString folder = QString::fromUtf8(kBuildDir) + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    const QString file = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    widget.grab().save(file);
    return file;
}

void answerAlert(const QString& title, QString* text, std::function<void()> next, int attempts) {
    QTimer::singleShot(10, qApp, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) {
            if (attempts > 0) {
                answerAlert(title, text, next, attempts - 1);
            } else {
                ADD_FAILURE() << "no alert came up";
            }
            return;
        }
        *text = box->text() + box->informativeText();
        for (auto* button : box->findChildren<QPushButton*>()) {
            if (button->text() == title) {
                if (next) {
                    next();
                }
                QTest::mouseClick(button, Qt::LeftButton);
                return;
            }
        }
        ADD_FAILURE() << "the alert has no button " << title.toStdString();
        box->reject();
    });
}

} // namespace corvane::testing
