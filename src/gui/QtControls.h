#pragma once

#include "app/Controls.h"

#include <QColor>
#include <QPalette>
#include <QPointer>
#include <functional>

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

// A row of check boxes, one per kind, each named for a screen reader by its label.
class QtKindChoices : public KindChoices {
public:
    explicit QtKindChoices(QWidget* row);
    void setChoices(const std::vector<Choice>& choices) override;
    // Called with a kind's id when the user ticks or unticks its box.
    void setOnToggled(std::function<void(const std::string& id, bool chosen)> onToggled) {
        m_onToggled = std::move(onToggled);
    }

private:
    QPointer<QWidget> m_row;
    std::vector<Choice> m_shown;
    std::function<void(const std::string&, bool)> m_onToggled;
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
