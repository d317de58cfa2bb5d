#include "app/AppDelegate.h"

namespace corvane {

// Placeholders until the update check is built.
void AppDelegate::checkUpdate(const void* sender) { _autoCheck = sender == nullptr; }
void AppDelegate::parseUpdate(const std::optional<std::string>&) {}
void AppDelegate::connectionDidReceiveResponse(int) { _responseData = std::string(); }
void AppDelegate::connectionDidReceiveData(const std::string& bytes) {
    _responseData = _responseData.value_or("") + bytes;
}
bool AppDelegate::connectionWillCacheResponse() { return false; }
void AppDelegate::connectionDidFinishLoading() {}
void AppDelegate::connectionDidFailWithError(const std::string&) {}

} // namespace corvane
