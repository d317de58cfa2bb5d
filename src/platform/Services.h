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
};

class Application {
public:
    virtual ~Application() = default;
    // Termination begins on the next pass of the event loop, after the current event.
    virtual void terminateLater() = 0;
    // Lets the window repaint during long work on the main thread. Input that arrives
    // meanwhile is discarded, never kept for later.
    virtual void keepResponsive() {}
    // Marks long work on the main thread; spans nest. While one is open, mouse and key input to
    // the program's windows is discarded, and input that was waiting when the outermost span
    // ends is discarded too. In a cancellable span the cancel control still takes clicks.
    // Dialogs the work itself opens take input made after they are shown.
    virtual void beginBusy(bool cancellable) { (void)cancellable; }
    virtual void endBusy() {}
};

// Time for waits that tests need to shorten: the quit wait polls through it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::chrono::steady_clock::time_point now() const = 0;
    virtual void sleepFor(std::chrono::milliseconds duration) = 0;
};

} // namespace corvane
