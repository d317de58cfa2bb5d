#include "BuildInfo.h"
#include "app/AppDelegate.h"
#include "app/Application.h"
#include "app/Dialogs.h"
#include "base/Text.h"
#include "core/update/UpdateCheck.h"
#include "ports/Processes.h"
#include "ports/Services.h"

namespace corvane {

namespace {

constexpr const char* kTitle = "Corvane";
constexpr const char* kNoConnectionText = "No internet connection.";
constexpr const char* kUnreadableText = "The update information could not be read.";
constexpr const char* kNewerVersionText = "A newer version of Corvane is available.";
constexpr const char* kUpToDateText = "Corvane is up to date.";

UserNotification notice(const char* text) {
    UserNotification notification;
    notification.title = kTitle;
    notification.informativeText = text;
    notification.hasActionButton = false;
    notification.playDefaultSound = true;
    return notification;
}

} // namespace

UrlRequest AppDelegate::updateRequest() const {
    return _updateRequest.value_or(defaultUpdateRequest());
}

void AppDelegate::checkUpdate(const void* sender) {
    if (_updateInProgress) {
        // One check at a time: the delegate calls carry no connection of their own, so two
        // loads would mix their bytes. A click during a quiet check makes its answer shown.
        _autoCheck = _autoCheck && sender == nullptr;
        return;
    }
    _autoCheck = sender == nullptr;
    _responseData.reset();
    _responseStatus = 0;
    if (!_windowParts.urlLoader) {
        connectionDidFailWithError("no URL loader");
        return;
    }
    _updateInProgress = true;
    _windowParts.urlLoader->start(updateRequest(), *this);
}

void AppDelegate::connectionDidReceiveResponse(int statusCode) {
    _responseData = std::string();
    _responseStatus = statusCode;
}

void AppDelegate::connectionDidReceiveData(const std::string& bytes) {
    if (!_responseData) {
        _responseData = std::string();
    }
    // Keep one byte past the bound, enough to know the page was too large.
    const std::size_t room = updateRequest().maxBodyBytes + 1;
    if (_responseData->size() < room) {
        _responseData->append(bytes, 0, room - _responseData->size());
    }
}

bool AppDelegate::connectionWillCacheResponse() {
    return false;
}

void AppDelegate::connectionDidFinishLoading() {
    _updateInProgress = false;
    const std::string bytes = _responseData.value_or(std::string());
    if (decideUpdatePage(_responseStatus, bytes, updateRequest().maxBodyBytes,
                         installedVersion()) == UpdateOutcome::Unreadable) {
        if (_windowParts.notifications) {
            _windowParts.notifications->deliver(notice(kUnreadableText));
        }
        return;
    }
    parseUpdate(bytes);
}

void AppDelegate::connectionDidFailWithError(const std::string& error) {
    _updateInProgress = false;
    _ports.systemLog.log("The update check failed: " + error);
    parseUpdate(std::nullopt);
}

void AppDelegate::parseUpdate(const std::optional<std::string>& text) {
    Alert alert;
    alert.messageText = kTitle;
    switch (decideUpdate(text, installedVersion())) {
    case UpdateOutcome::NoConnection:
        if (_windowParts.notifications) {
            _windowParts.notifications->deliver(notice(kNoConnectionText));
        }
        return;
    case UpdateOutcome::Unreadable:
        if (_windowParts.notifications) {
            _windowParts.notifications->deliver(notice(kUnreadableText));
        }
        return;
    case UpdateOutcome::NewerVersion:
        alert.informativeText = kNewerVersionText;
        alert.buttons = {{"Quit & Update", std::nullopt}, {"Not now", std::nullopt}};
        if (_windowParts.alerts.runModal(alert) == kAlertFirstButtonReturn) {
            callNSTaskWithResult(_ports.launcher.toolPath(Tool::Open), {build::kProductUrl});
            quitTheApp();
        }
        return;
    case UpdateOutcome::UpToDate:
        if (_autoCheck) {
            return;
        }
        alert.informativeText = kUpToDateText;
        alert.buttons = {{"OK", std::nullopt}};
        _windowParts.alerts.runModal(alert);
        return;
    }
}

} // namespace corvane
