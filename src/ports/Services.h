#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

struct UserNotification {
    std::string title;
    std::string informativeText;
    bool hasActionButton = false;
    bool playDefaultSound = true;
};

class Notifications {
public:
    virtual ~Notifications() = default;
    virtual void deliver(const UserNotification& notification) = 0;
};

struct Cookie {
    std::string domain;
    std::string name;
    std::string path;
    bool operator==(const Cookie&) const = default;
};

class CookieStore {
public:
    virtual ~CookieStore() = default;
    virtual std::vector<Cookie> cookies() = 0;
    // True when the store is known to hold no cookie. A store that exists but cannot be read
    // may still hold every cookie it had, so it is not empty.
    virtual bool isKnownEmpty() { return cookies().empty(); }
    // How the store is named to the user.
    virtual std::string location() const { return "the shared cookie store"; }
    virtual void deleteCookie(const Cookie& cookie) = 0;
    // Deletes each cookie; a store kept in one file rewrites it once for all of them.
    virtual void deleteCookies(const std::vector<Cookie>& cookies) {
        for (const Cookie& cookie : cookies) {
            deleteCookie(cookie);
        }
    }
    // The file the store keeps its cookies in, where it has one.
    virtual std::optional<std::string> storeFile() const { return std::nullopt; }
};

class SystemLog {
public:
    virtual ~SystemLog() = default;
    virtual void log(const std::string& line) = 0;
    // A line for whoever debugs the program; never shown to the user.
    virtual void debug(const std::string& line) = 0;
};

// Time for waits that tests need to shorten: the quit wait polls through it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::chrono::steady_clock::time_point now() const = 0;
    virtual void sleepFor(std::chrono::milliseconds duration) = 0;
};

} // namespace corvane
