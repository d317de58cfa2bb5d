#pragma once

#include "app/AppDelegate.h"

#include <string>
#include <vector>

namespace corvane::testing {

// A text view that keeps one colour per UTF-16 unit, so tests can read the colour runs.
class FakeTextView : public TextView {
public:
    void setString(const std::string& text) override;
    std::string string() const override { return m_text; }
    void setFont(const std::string& family, double points) override;
    void setTextColor(const Color& color) override;
    void setTextColor(const Color& color, std::int64_t location, std::int64_t length) override;
    std::vector<ColourRun> colourRuns() const override;

    // Colour of each UTF-16 unit of the text.
    const std::vector<Color>& colours() const { return m_colours; }
    // True when every unit in [from, to) has `color`.
    bool rangeHasColour(std::int64_t from, std::int64_t to, const Color& color) const;
    std::vector<std::string> history; // every text written, in order
    std::string fontFamily;
    double fontPoints = 0.0;

private:
    std::string m_text;
    std::vector<Color> m_colours;
    Color m_base;
};

class FakeTextField : public TextField {
public:
    void setStringValue(const std::string& text) override { value = text; }
    std::string stringValue() const override { return value; }
    std::string value;
};

class FakeButton : public Button {
public:
    void setEnabled(bool on) override { enabled = on; }
    bool isEnabled() const override { return enabled; }
    void setHidden(bool on) override { hidden = on; }
    bool isHidden() const override { return hidden; }
    void setImage(const Image& shown) override { image = shown; }
    bool enabled = true;
    bool hidden = false;
    Image image;
};

class FakeImageView : public ImageView {
public:
    void setImage(const Image& shown) override { image = shown; }
    void setHidden(bool on) override { hidden = on; }
    bool isHidden() const override { return hidden; }
    bool hidden = true;
    Image image;
};

class FakeLabel : public Label {
public:
    void setStringValue(const std::string& value) override { text = value; }
    void setHidden(bool on) override { hidden = on; }
    bool isHidden() const override { return hidden; }
    std::string text;
    bool hidden = true;
};

class FakeWindow : public Window {
public:
    void setBackgroundColor(const Color& color) override { background = color; }
    void setApplicationTitle(const std::string& name) override { applicationTitle = name; }
    Color background{0.9, 0.9, 0.9, 1.0};
    std::string applicationTitle;
};

class FakeKindChoices : public KindChoices {
public:
    void setChoices(const std::vector<Choice>& shown) override { choices = shown; }
    std::vector<Choice> choices;
};

// Records each piece of work shown: its total when known, and the last count it showed.
class RecordingProgress : public ProgressIndicator {
public:
    void begin(const std::string&, std::optional<std::size_t> total) override {
        totals.push_back(total);
    }
    void update(std::size_t itemsSeen) override { lastSeen = itemsSeen; }
    void end() override {}
    std::vector<std::optional<std::size_t>> totals;
    std::size_t lastSeen = 0;
};

// The whole main window as test doubles.
struct FakeMainWindow {
    FakeWindow window;
    FakeButton chooseButton;
    FakeTextField nameField;
    FakeTextView infoView;
    FakeButton fixButton;
    FakeImageView iconView;
    FakeButton restoreButton;
    FakeLabel hint;
    FakeKindChoices kindChoices;
    ProgressIndicator* progress = nullptr; // none unless a test watches the progress

    Outlets outlets() {
        return {&window,   &chooseButton, &nameField,     &infoView, &fixButton,
                &iconView, progress,      &restoreButton, &hint,     &kindChoices};
    }
};

} // namespace corvane::testing
