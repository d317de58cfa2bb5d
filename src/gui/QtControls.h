#pragma once

#include "app/Controls.h"

#include <QColor>
#include <QPalette>
#include <QPointer>

class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;
class QWidget;

namespace corvane {

QColor toQColor(const Color& color);

// The colour a text of `color` is drawn in on the palette's page: as it is on a light page; on a
// dark one, of the same hue made lighter until it reads (a contrast of 4.5:1 or more).
QColor readableOn(const QColor& color, const QPalette& palette);

class QtTextView : public TextView {
public:
    explicit QtTextView(QTextEdit* edit);
    void setString(const std::string& text) override;
    std::string string() const override;
    void setFont(const std::string& family, double points) override;
    void setTextColor(const Color& color) override;
    void setTextColor(const Color& color, std::int64_t location, std::int64_t length) override;
    std::vector<ColourRun> colourRuns() const override;

    // Draws every stretch again in the colour that reads on the view's palette now.
    void followPalette();

private:
    void colourRange(const QColor& color, int from, int to);
    void keepLinesWhole(int from, int to);
    QPointer<QTextEdit> m_edit;
    QColor m_baseColor = Qt::black;
};

class QtTextField : public TextField {
public:
    explicit QtTextField(QLineEdit* field);
    void setStringValue(const std::string& text) override;
    std::string stringValue() const override;

private:
    QPointer<QLineEdit> m_field;
};

class QtButton : public Button {
public:
    explicit QtButton(QPushButton* button);
    void setEnabled(bool enabled) override;
    bool isEnabled() const override;
    void setHidden(bool hidden) override;
    bool isHidden() const override;
    void setImage(const Image& image) override;

private:
    QPointer<QPushButton> m_button;
};

class QtLabel : public Label {
public:
    explicit QtLabel(QLabel* label);
    void setStringValue(const std::string& text) override;
    void setHidden(bool hidden) override;
    bool isHidden() const override;

private:
    QPointer<QLabel> m_label;
};

class QtImageView : public ImageView {
public:
    explicit QtImageView(QLabel* label);
    void setImage(const Image& image) override;
    void setHidden(bool hidden) override;
    bool isHidden() const override;

private:
    QPointer<QLabel> m_label;
};

class QtWindow : public Window {
public:
    explicit QtWindow(QWidget* window);
    void setBackgroundColor(const Color& color) override;
    void setApplicationTitle(const std::string& applicationName) override;
    QWidget* widget() const { return m_window; }

private:
    QPointer<QWidget> m_window;
};

} // namespace corvane
