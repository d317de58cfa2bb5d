#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

class Window;

struct AlertButton {
    std::string title;
    // Empty text: the button has no key. "\r": the Return key presses it.
    std::optional<std::string> keyEquivalent;
};

enum class AlertStyle { Warning, Informational, Critical };

// What an alert is for, so that it can be told from others without reading its text.
enum class AlertPurpose { Other, RemoveForGood };

struct Alert {
    std::string messageText;
    std::string informativeText;
    std::vector<AlertButton> buttons; // the first one added is the rightmost
    AlertStyle style = AlertStyle::Warning;
    AlertPurpose purpose = AlertPurpose::Other;
};

inline constexpr int kAlertFirstButtonReturn = 1000;
inline constexpr int kAlertSecondButtonReturn = 1001;
// The alert was dismissed (Escape, or its window closed) without a button being pressed.
inline constexpr int kAlertDismissedReturn = 0;

class Alerts {
public:
    virtual ~Alerts() = default;
    // Application-modal; returns kAlertFirstButtonReturn + index of the button pressed, or
    // kAlertDismissedReturn when none was. Every text is shown as written, never as markup.
    virtual int runModal(const Alert& alert) = 0;
    // Window-modal; returns at once and calls `done` with the response when the user answers.
    virtual void beginSheet(const Alert& alert, Window* parent, std::function<void(int)> done) = 0;
};

struct OpenPanelOptions {
    std::string message;
    bool canChooseDirectories = false;
    bool canChooseFiles = true;
};

class OpenPanel {
public:
    virtual ~OpenPanel() = default;
    // Blocks until the user answers; the absolute path of the picked item, none when cancelled.
    virtual std::optional<std::string> runModal(const OpenPanelOptions& options) = 0;
};

// One kept reset as the list of past resets shows it.
struct PastReset {
    std::string time;        // when it ran; for a record that does not read, its name
    std::string application; // for a record that does not read, that it is damaged
    std::string entries;     // how many entries it took
    std::string comeBack;    // how many of them can still come back
    std::string details;     // the entries it took, one a line
    bool restorable = false; // only these can be chosen
};

class ResetChooser {
public:
    virtual ~ResetChooser() = default;
    // Application-modal, newest first, with `preselected` chosen at the start; the index of the
    // reset chosen, none when the user cancelled.
    virtual std::optional<std::size_t> chooseReset(const std::vector<PastReset>& resets,
                                                   std::size_t preselected) = 0;
};

// One installed Linux application as the list of them shows it.
struct InstalledChoice {
    std::string name;
    std::string id;
    std::string icon; // a theme icon name or an absolute path; may be empty
};

class ApplicationChooser {
public:
    virtual ~ApplicationChooser() = default;
    // Application-modal, in the order given, with a field that narrows the list by name or id;
    // the index chosen, none when the user cancelled.
    virtual std::optional<std::size_t>
    chooseApplication(const std::vector<InstalledChoice>& choices) = 0;
};

} // namespace corvane
