#include "app/AppDelegate.h"

#include "app/Application.h"
#include "base/Text.h"
#include "ports/Services.h"

#include <algorithm>
#include <limits>

namespace corvane {

namespace {
constexpr const char* kWaitingText = "Waiting for an app to fix...";
constexpr const char* kHintText = "Click the magnifier or drop an application here.";
constexpr const char* kInfoFontFamily = "Helvetica Neue";
constexpr double kInfoFontPoints = 12.0;
} // namespace

AppDelegate::AppDelegate(Outlets outlets, Ports ports, WindowParts windowParts)
    : _outlets(outlets), _ports(ports), _windowParts(windowParts) {}

void AppDelegate::applicationWillFinishLaunching() {
    _launchBegun = true;
    _restoreStateDue = true;
    if (_outlets.window) {
        _outlets.window->setBackgroundColor(Color::white());
    }
    if (_outlets.infoField) {
        _outlets.infoField->setString(kWaitingText);
    }
    _shortFilePaths = {};
    _fullFilePaths = {};
    _shortStatePaths = {};
    _fullStatePaths = {};
    if (_outlets.infoField) {
        _outlets.infoField->setFont(kInfoFontFamily, kInfoFontPoints);
        _outlets.infoField->setTextColor(Color::infoBlue());
    }
    showHint(true);
}

void AppDelegate::applicationDidFinishLaunching() {
    if (!_launchBegun) {
        applicationWillFinishLaunching();
    }
    if (_restoreStateDue) {
        updateRestoreButton();
    }
}

void AppDelegate::showHint(bool shown) {
    if (Label* hint = _outlets.hint) {
        hint->setStringValue(kHintText);
        hint->setHidden(!shown);
    }
}

void AppDelegate::quitTheApp() {
    _windowParts.application.terminateLater();
}

void AppDelegate::stopProgress() {
    // During the quit wait the cancel control stops the wait; the fix then puts the window back
    // as it was before Fix was pressed.
    if (_quitWaitRunning) {
        _quitWaitStopRequested = true;
        return;
    }
    if (_outlets.nameOfAppToFix) {
        _outlets.nameOfAppToFix->setStringValue("");
    }
    if (_outlets.window) {
        _outlets.window->setApplicationTitle("");
    }
    if (_outlets.infoField) {
        _outlets.infoField->setTextColor(Color::infoBlue());
        _outlets.infoField->setString(kWaitingText);
    }
    if (_outlets.fixButton) {
        _outlets.fixButton->setEnabled(false);
    }
    if (_outlets.appIconImage) {
        _outlets.appIconImage->setHidden(true);
    }
    if (_outlets.chooseButton) {
        _outlets.chooseButton->setHidden(false);
        _outlets.chooseButton->setEnabled(true);
        _outlets.chooseButton->setImage(Image::named(kChooseButtonImage));
    }
    _plan.reset();
    showKindChoices();
    showHint(true);
    updateRestoreButton();
}

void AppDelegate::insertTextColor(const Color& color, std::optional<std::int64_t> location,
                                  std::optional<std::int64_t> length, TextView* view) {
    if (!view) {
        return;
    }
    // Number objects are read as 32-bit signed integers; a missing one reads 0. Only the part
    // of the range that lies inside the text is coloured.
    const auto asInt32 = [](std::optional<std::int64_t> number) -> std::int64_t {
        return number ? static_cast<std::int32_t>(*number) : 0;
    };
    const std::int64_t textLength = utf16Length(view->string());
    const std::int64_t from = asInt32(location);
    const std::int64_t to = from + asInt32(length);
    const std::int64_t start = std::clamp<std::int64_t>(from, 0, textLength);
    const std::int64_t end = std::clamp<std::int64_t>(to, start, textLength);
    if (end > start) {
        view->setTextColor(color, start, end - start);
    }
}

} // namespace corvane
