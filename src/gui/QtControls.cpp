#include "gui/QtControls.h"

#include "gui/Images.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <algorithm>
#include <cmath>

namespace corvane {

QColor toQColor(const Color& color) {
    return QColor::fromRgbF(static_cast<float>(color.red), static_cast<float>(color.green),
                            static_cast<float>(color.blue), static_cast<float>(color.alpha));
}

namespace {

// Where a stretch of text keeps the colour it was given, beside the one it is drawn in.
constexpr int kGivenColour = QTextFormat::UserProperty + 1;

// Relative luminance and contrast ratio as the Web Content Accessibility Guidelines define them.
double luminance(const QColor& color) {
    const auto linear = [](double channel) {
        return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) +
           0.0722 * linear(color.blueF());
}

double contrast(const QColor& a, const QColor& b) {
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

constexpr double kReadableContrast = 4.5;

} // namespace

QColor readableOn(const QColor& color, const QPalette& palette) {
    const QColor page = palette.color(QPalette::Base);
    if (page.lightnessF() >= 0.5) {
        return color;
    }
    QColor lighter = color.toHsl();
    while (contrast(lighter, page) < kReadableContrast && lighter.lightnessF() < 1.0) {
        lighter.setHslF(lighter.hslHueF(), lighter.hslSaturationF(),
                        std::min(1.0F, static_cast<float>(lighter.lightnessF()) + 0.02F),
                        lighter.alphaF());
    }
    return lighter.toRgb();
}

QtTextView::QtTextView(QTextEdit* edit) : m_edit(edit) {}

void QtTextView::setString(const std::string& text) {
    if (!m_edit) {
        return;
    }
    m_edit->setPlainText(QString::fromStdString(text));
    colourRange(m_baseColor, 0, static_cast<int>(m_edit->document()->characterCount()) - 1);
}

std::string QtTextView::string() const {
    if (!m_edit) {
        return {};
    }
    // toPlainText() would turn no-break spaces into spaces; only the paragraph breaks that
    // setPlainText() made from line feeds are turned back.
    QString text = m_edit->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text.toStdString();
}

void QtTextView::setFont(const std::string& family, double points) {
    if (!m_edit) {
        return;
    }
    QFont font(QString::fromStdString(family));
    if (!QFontDatabase::families().contains(QString::fromStdString(family))) {
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    }
    font.setPointSizeF(points);
    m_edit->document()->setDefaultFont(font);
    m_edit->setFont(font);
}

void QtTextView::setTextColor(const Color& color) {
    m_baseColor = toQColor(color);
    if (m_edit) {
        colourRange(m_baseColor, 0, static_cast<int>(m_edit->document()->characterCount()) - 1);
        m_edit->setTextColor(readableOn(m_baseColor, m_edit->palette()));
    }
}

void QtTextView::setTextColor(const Color& color, std::int64_t location, std::int64_t length) {
    if (!m_edit || length <= 0 || location < 0) {
        return;
    }
    const std::int64_t textLength = m_edit->document()->characterCount() - 1;
    const std::int64_t from = std::min(location, textLength);
    const std::int64_t to = std::min(location + length, textLength);
    colourRange(toQColor(color), static_cast<int>(from), static_cast<int>(to));
    if (color == Color::standardGray()) {
        keepLinesWhole(static_cast<int>(from), static_cast<int>(to));
    }
}

void QtTextView::keepLinesWhole(int from, int to) {
    // Grey is a list's colour: each entry stays on one line, so a long path never reads as two
    // entries; the view scrolls sideways instead.
    QTextCursor cursor(m_edit->document());
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    QTextBlockFormat format;
    format.setNonBreakableLines(true);
    cursor.mergeBlockFormat(format);
}

std::vector<ColourRun> QtTextView::colourRuns() const {
    std::vector<ColourRun> runs;
    if (!m_edit) {
        return runs;
    }
    const auto add = [&](std::int64_t location, std::int64_t length, const QColor& qcolor) {
        float red = 0;
        float green = 0;
        float blue = 0;
        float alpha = 0;
        qcolor.getRgbF(&red, &green, &blue, &alpha);
        const Color color{red, green, blue, alpha};
        if (!runs.empty() && runs.back().color == color &&
            runs.back().location + runs.back().length == location) {
            runs.back().length += length;
        } else {
            runs.push_back({location, length, color});
        }
    };
    // Positions count UTF-16 units with one for each paragraph break, as string() gives them.
    QColor last = m_baseColor;
    for (QTextBlock block = m_edit->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QVariant given = fragment.charFormat().property(kGivenColour);
            last = given.isValid() ? given.value<QColor>()
                                   : fragment.charFormat().foreground().color();
            add(fragment.position(), fragment.length(), last);
        }
        if (block.next().isValid()) {
            // The break between paragraphs takes the colour of the text before it.
            add(block.position() + block.length() - 1, 1, last);
        }
    }
    return runs;
}

void QtTextView::colourRange(const QColor& color, int from, int to) {
    if (!m_edit || to <= from) {
        return;
    }
    QTextCursor cursor(m_edit->document());
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    QTextCharFormat format;
    format.setProperty(kGivenColour, color);
    format.setForeground(readableOn(color, m_edit->palette()));
    cursor.mergeCharFormat(format);
}

void QtTextView::followPalette() {
    if (!m_edit) {
        return;
    }
    m_edit->setTextColor(readableOn(m_baseColor, m_edit->palette()));
    for (QTextBlock block = m_edit->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QVariant given = fragment.charFormat().property(kGivenColour);
            if (given.isValid()) {
                QTextCursor cursor(m_edit->document());
                cursor.setPosition(fragment.position());
                cursor.setPosition(fragment.position() + fragment.length(),
                                   QTextCursor::KeepAnchor);
                QTextCharFormat format;
                format.setForeground(readableOn(given.value<QColor>(), m_edit->palette()));
                cursor.mergeCharFormat(format);
            }
        }
    }
}

QtTextField::QtTextField(QLineEdit* field) : m_field(field) {}

void QtTextField::setStringValue(const std::string& text) {
    if (m_field) {
        m_field->setText(QString::fromStdString(text));
    }
}

std::string QtTextField::stringValue() const {
    return m_field ? m_field->text().toStdString() : std::string();
}

QtButton::QtButton(QPushButton* button) : m_button(button) {}

void QtButton::setEnabled(bool enabled) {
    if (m_button) {
        m_button->setEnabled(enabled);
    }
}

bool QtButton::isEnabled() const {
    return m_button && m_button->isEnabled();
}

void QtButton::setHidden(bool hidden) {
    if (m_button) {
        m_button->setHidden(hidden);
    }
}

bool QtButton::isHidden() const {
    return !m_button || m_button->isHidden();
}

void QtButton::setImage(const Image& image) {
    if (m_button) {
        m_button->setIcon(iconFor(image));
    }
}

QtImageView::QtImageView(QLabel* label) : m_label(label) {}

void QtImageView::setImage(const Image& image) {
    if (m_label) {
        m_label->setPixmap(iconFor(image).pixmap(m_label->size()));
    }
}

void QtImageView::setHidden(bool hidden) {
    if (m_label) {
        m_label->setHidden(hidden);
    }
}

bool QtImageView::isHidden() const {
    return !m_label || m_label->isHidden();
}

QtWindow::QtWindow(QWidget* window) : m_window(window) {}

void QtWindow::setBackgroundColor(const Color& color) {
    // The desktop's theme gives the window its colour, with text colours that match it; a colour
    // forced here would leave the menus and labels white on white, or dark on dark.
    (void)color;
}

void QtWindow::setApplicationTitle(const std::string& applicationName) {
    if (m_window) {
        m_window->setWindowTitle(applicationName.empty() ? QStringLiteral("Corvane")
                                                         : QString::fromStdString(applicationName) +
                                                               QStringLiteral(" - Corvane"));
    }
}

QtLabel::QtLabel(QLabel* label) : m_label(label) {}

void QtLabel::setStringValue(const std::string& text) {
    if (m_label) {
        m_label->setText(QString::fromStdString(text));
    }
}

void QtLabel::setHidden(bool hidden) {
    if (m_label) {
        m_label->setHidden(hidden);
    }
}

bool QtLabel::isHidden() const {
    return !m_label || m_label->isHidden();
}

QtKindChoices::QtKindChoices(QWidget* row) : m_row(row) {}

void QtKindChoices::setChoices(const std::vector<Choice>& choices) {
    if (!m_row) {
        return;
    }
    const auto sameKinds = [&] {
        return choices.size() == m_shown.size() &&
               std::equal(choices.begin(), choices.end(), m_shown.begin(),
                          [](const Choice& a, const Choice& b) { return a.id == b.id; });
    };
    // A box ticked by the user is kept, not made again: the new choices may arrive while its own
    // signal is being handled.
    if (!sameKinds()) {
        for (QCheckBox* box : m_row->findChildren<QCheckBox*>(Qt::FindDirectChildrenOnly)) {
            box->setObjectName(QString());
            box->hide();
            box->deleteLater();
        }
        for (const Choice& choice : choices) {
            auto* box = new QCheckBox(QString::fromStdString(choice.label), m_row);
            box->setObjectName(QStringLiteral("kindChoice_") + QString::fromStdString(choice.id));
            box->setAccessibleName(box->text());
            // Before the stretch that keeps the boxes together at the start of the row.
            if (auto* row = qobject_cast<QBoxLayout*>(m_row->layout())) {
                row->insertWidget(std::max(row->count() - 1, 0), box);
            }
            QObject::connect(box, &QCheckBox::toggled, box, [this, id = choice.id](bool on) {
                if (m_onToggled) {
                    m_onToggled(id, on);
                }
            });
        }
    }
    const QList<QCheckBox*> boxes = m_row->findChildren<QCheckBox*>(Qt::FindDirectChildrenOnly);
    for (const Choice& choice : choices) {
        for (QCheckBox* box : boxes) {
            if (box->objectName() ==
                QStringLiteral("kindChoice_") + QString::fromStdString(choice.id)) {
                const QSignalBlocker quiet(box);
                box->setChecked(choice.chosen);
            }
        }
    }
    m_shown = choices;
    m_row->setVisible(!choices.empty());
}

} // namespace corvane
