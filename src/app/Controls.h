#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvane {

struct Color {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    double alpha = 1.0;

    bool operator==(const Color&) const = default;

    static Color infoBlue() { return {0.0, 0.5, 0.8, 1.0}; }
    static Color standardGray() { return {0.5, 0.5, 0.5, 1.0}; }
    static Color standardRed() { return {1.0, 0.0, 0.0, 1.0}; }
    static Color white() { return {1.0, 1.0, 1.0, 1.0}; }
};

// What an image view or button shows: a named resource of the program, or the desktop's icon
// for a file. The front end turns it into pixels.
struct Image {
    enum class Kind { None, Named, IconForFile };
    Kind kind = Kind::None;
    std::string source;

    bool operator==(const Image&) const = default;

    static Image named(std::string name) { return {Kind::Named, std::move(name)}; }
    static Image iconForFile(std::string path) { return {Kind::IconForFile, std::move(path)}; }
};

inline constexpr const char* kChooseButtonImage = "Search-Find-256-2";

// A stretch of a text view's text in one colour.
struct ColourRun {
    std::int64_t location = 0;
    std::int64_t length = 0;
    Color color;
    bool operator==(const ColourRun&) const = default;
};

// Locations and lengths in a text view count UTF-16 code units.
class TextView {
public:
    virtual ~TextView() = default;
    virtual void setString(const std::string& text) = 0;
    virtual std::string string() const = 0;
    virtual void setFont(const std::string& family, double points) = 0;
    virtual void setTextColor(const Color& color) = 0;
    virtual void setTextColor(const Color& color, std::int64_t location, std::int64_t length) = 0;
    // The colours of the whole text, stretch by stretch in order.
    virtual std::vector<ColourRun> colourRuns() const = 0;
};

class TextField {
public:
    virtual ~TextField() = default;
    virtual void setStringValue(const std::string& text) = 0;
    virtual std::string stringValue() const = 0;
};

class Button {
public:
    virtual ~Button() = default;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
    virtual void setHidden(bool hidden) = 0;
    virtual bool isHidden() const = 0;
    virtual void setImage(const Image& image) = 0;
};

// A line of plain text the window shows or hides, such as the hint of the waiting state.
class Label {
public:
    virtual ~Label() = default;
    virtual void setStringValue(const std::string& text) = 0;
    virtual void setHidden(bool hidden) = 0;
    virtual bool isHidden() const = 0;
};

class ImageView {
public:
    virtual ~ImageView() = default;
    virtual void setImage(const Image& image) = 0;
    virtual void setHidden(bool hidden) = 0;
    virtual bool isHidden() const = 0;
};

// Shows that long work is under way: a busy indicator with a count of items seen, or a bar that
// fills towards the total when the work knows how many items it has.
class ProgressIndicator {
public:
    virtual ~ProgressIndicator() = default;
    virtual void begin(const std::string& label, std::optional<std::size_t> total) = 0;
    virtual void update(std::size_t itemsSeen) = 0;
    virtual void end() = 0;
};

// One check box per kind of entry the analysis found, each ticked or not; the front end tells the
// controller when the user ticks one.
class KindChoices {
public:
    struct Choice {
        std::string id;
        std::string label;
        bool chosen = true;
        bool operator==(const Choice&) const = default;
    };
    virtual ~KindChoices() = default;
    // No choices: the row is hidden.
    virtual void setChoices(const std::vector<Choice>& choices) = 0;
};

class Window {
public:
    virtual ~Window() = default;
    virtual void setBackgroundColor(const Color& color) = 0;
    // Names the application the window works on in its title; empty: none is.
    virtual void setApplicationTitle(const std::string& applicationName) = 0;
};

} // namespace corvane
