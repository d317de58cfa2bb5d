#pragma once

#include <string>

namespace corvane {

class UrlConnectionDelegate {
public:
    virtual ~UrlConnectionDelegate() = default;
    virtual void connectionDidReceiveResponse(int statusCode) = 0;
    virtual void connectionDidReceiveData(const std::string& bytes) = 0;
    // Answers whether the response may be cached.
    virtual bool connectionWillCacheResponse() = 0;
    virtual void connectionDidFinishLoading() = 0;
    virtual void connectionDidFailWithError(const std::string& error) = 0;
};

class UrlLoader {
public:
    virtual ~UrlLoader() = default;
    // Starts one GET and returns at once; the delegate is called on the main thread.
    virtual void start(const std::string& url, UrlConnectionDelegate& delegate) = 0;
};

} // namespace corvane
