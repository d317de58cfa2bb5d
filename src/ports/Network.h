#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace corvane {

struct UrlRequest {
    std::string url;
    // The whole load, from the start to the last byte; past it the load fails.
    std::chrono::milliseconds timeout{15000};
    // Reading stops once more than this many bytes of the body have arrived: the delegate then
    // sees the end of loading with those bytes, and can tell from their count that the body
    // was larger than allowed.
    std::size_t maxBodyBytes = std::size_t{64} * 1024;
};

class UrlConnectionDelegate {
public:
    virtual ~UrlConnectionDelegate() = default;
    // The server answered; statusCode is its HTTP status (200, 404, ...).
    virtual void connectionDidReceiveResponse(int statusCode) = 0;
    virtual void connectionDidReceiveData(const std::string& bytes) = 0;
    // Answers whether the response may be cached.
    virtual bool connectionWillCacheResponse() = 0;
    // The server's answer is complete, whatever its status.
    virtual void connectionDidFinishLoading() = 0;
    // No complete answer: no connection, a refused or untrusted peer, a redirect the loader
    // would not follow, a broken transfer or the time bound.
    virtual void connectionDidFailWithError(const std::string& error) = 0;
};

class UrlLoader {
public:
    virtual ~UrlLoader() = default;
    // Starts one GET and returns at once; the delegate is called on the main thread, and each
    // load ends with exactly one call of connectionDidFinishLoading or connectionDidFailWithError.
    virtual void start(const UrlRequest& request, UrlConnectionDelegate& delegate) = 0;
};

} // namespace corvane
