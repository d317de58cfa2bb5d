#include "host/linux/BusServiceProbe.h"

#include "base/Text.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <poll.h>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace corvane {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint8_t kMethodCall = 1;
constexpr std::uint8_t kMethodReturn = 2;
constexpr std::uint8_t kFieldReplySerial = 5;
// A reply to two small calls; anything larger is not the bus we think it is.
constexpr std::size_t kMaxMessage = 1 << 16;

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// The socket address of the first Unix entry of a D-Bus address ("unix:path=/run/...,guid=..").
std::optional<std::pair<sockaddr_un, socklen_t>> unixSocketOf(std::string_view address) {
    const std::size_t end = address.find(';');
    const std::string_view entry = address.substr(0, end);
    if (!entry.starts_with("unix:")) {
        return std::nullopt;
    }
    std::string_view rest = entry.substr(5);
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view pair = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        const bool abstract = pair.starts_with("abstract=");
        if (!abstract && !pair.starts_with("path=")) {
            continue;
        }
        const std::optional<std::string> path = percentDecodedPath(pair.substr(pair.find('=') + 1));
        sockaddr_un socketAddress{};
        socketAddress.sun_family = AF_UNIX;
        const std::size_t offset = abstract ? 1 : 0;
        if (!path || path->empty() || path->size() + offset >= sizeof(socketAddress.sun_path)) {
            return std::nullopt;
        }
        std::memcpy(socketAddress.sun_path + offset, path->data(), path->size());
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset +
                                                   path->size() + (abstract ? 0 : 1));
        return std::pair{socketAddress, length};
    }
    return std::nullopt;
}

// Little-endian message building, aligned as the wire format wants from the message's start.
class Message {
public:
    void align(std::size_t to) {
        while (m_bytes.size() % to != 0) {
            m_bytes.push_back('\0');
        }
    }
    void byte(std::uint8_t value) { m_bytes.push_back(static_cast<char>(value)); }
    void uint32(std::uint32_t value) {
        align(4);
        for (int shift = 0; shift < 32; shift += 8) {
            byte(static_cast<std::uint8_t>(value >> shift));
        }
    }
    void string(std::string_view text) {
        uint32(static_cast<std::uint32_t>(text.size()));
        m_bytes.append(text);
        m_bytes.push_back('\0');
    }
    void signature(std::string_view text) {
        byte(static_cast<std::uint8_t>(text.size()));
        m_bytes.append(text);
        m_bytes.push_back('\0');
    }
    void field(std::uint8_t code, char type, std::string_view value) {
        align(8);
        byte(code);
        signature(std::string_view(&type, 1));
        if (type == 'g') {
            signature(value);
        } else {
            string(value);
        }
    }
    std::string& bytes() { return m_bytes; }
    void patch32(std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            m_bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
        }
    }

private:
    std::string m_bytes;
};

// A call to the bus itself: its serial, member and body (the body's signature given).
std::string busCall(std::uint32_t serial, std::string_view member, std::string_view signature,
                    const std::string& body) {
    Message m;
    m.byte('l');
    m.byte(kMethodCall);
    m.byte(0);
    m.byte(1);
    m.uint32(static_cast<std::uint32_t>(body.size()));
    m.uint32(serial);
    const std::size_t fieldsLength = m.bytes().size();
    m.uint32(0);
    const std::size_t fieldsStart = m.bytes().size();
    m.field(1, 'o', "/org/freedesktop/DBus");
    m.field(2, 's', "org.freedesktop.DBus");
    m.field(3, 's', member);
    m.field(6, 's', "org.freedesktop.DBus");
    if (!signature.empty()) {
        m.field(8, 'g', signature);
    }
    m.patch32(fieldsLength, static_cast<std::uint32_t>(m.bytes().size() - fieldsStart));
    m.align(8);
    m.bytes() += body;
    return m.bytes();
}

std::string startServiceBody(const std::string& name) {
    Message body;
    body.string(name);
    body.uint32(0);
    return body.bytes();
}

std::uint32_t read32(const std::string& bytes, std::size_t at, bool little) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        const auto b = static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
        value |= std::uint32_t{b} << (little ? 8 * i : 8 * (3 - i));
    }
    return value;
}

std::size_t aligned(std::size_t at, std::size_t to) {
    return (at + to - 1) / to * to;
}

struct Reply {
    std::uint8_t type = 0;
    std::optional<std::uint32_t> replySerial;
};

// The size of the first whole message in `bytes`, once it is all there.
std::optional<std::size_t> wholeMessage(const std::string& bytes) {
    if (bytes.size() < 16) {
        return std::nullopt;
    }
    const bool little = bytes[0] == 'l';
    const std::size_t fields = read32(bytes, 12, little);
    const std::size_t body = read32(bytes, 4, little);
    const std::size_t size = aligned(16 + fields, 8) + body;
    return bytes.size() >= size ? std::optional(size) : std::nullopt;
}

// The type and reply serial of a whole message; none when its header does not read.
std::optional<Reply> replyOf(const std::string& bytes, std::size_t size) {
    if (bytes[0] != 'l' && bytes[0] != 'B') {
        return std::nullopt;
    }
    const bool little = bytes[0] == 'l';
    Reply reply;
    reply.type = static_cast<std::uint8_t>(bytes[1]);
    const std::size_t end = 16 + read32(bytes, 12, little);
    std::size_t at = 16;
    while (at < end) {
        at = aligned(at, 8);
        if (at + 3 > end) {
            return std::nullopt;
        }
        const auto code = static_cast<std::uint8_t>(bytes[at]);
        if (bytes[at + 1] != 1 || bytes[at + 3] != '\0') {
            return std::nullopt; // every header field is of one simple type
        }
        const char type = bytes[at + 2];
        at += 4;
        if (type == 'g') {
            if (at >= end) {
                return std::nullopt;
            }
            at += 1 + static_cast<std::uint8_t>(bytes[at]) + 1;
        } else if (type == 'u' || type == 's' || type == 'o') {
            at = aligned(at, 4);
            if (at + 4 > end) {
                return std::nullopt;
            }
            const std::uint32_t value = read32(bytes, at, little);
            at += 4;
            if (type == 'u') {
                if (code == kFieldReplySerial) {
                    reply.replySerial = value;
                }
            } else {
                at += std::size_t{value} + 1;
            }
        } else {
            return std::nullopt;
        }
    }
    return at <= size ? std::optional(reply) : std::nullopt;
}

// Waits for the socket until the deadline; false when it passed.
bool ready(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() < 0) {
            return false;
        }
        pollfd p{fd, events, 0};
        const int n = poll(&p, 1, static_cast<int>(left.count()) + 1);
        if (n > 0) {
            return true;
        }
        if (n == 0 || errno != EINTR) {
            return false;
        }
    }
}

bool sendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Reads more of the stream; false at its end, on an error or when the deadline passed.
bool receiveMore(int fd, std::string& into, Clock::time_point deadline, bool& timedOut) {
    if (!ready(fd, POLLIN, deadline)) {
        timedOut = true;
        return false;
    }
    char buffer[4096];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
        return false;
    }
    into.append(buffer, static_cast<std::size_t>(n));
    return into.size() <= kMaxMessage;
}

} // namespace

BusProbe startServiceOverSocket(const std::string& address, const std::string& name,
                                std::chrono::milliseconds timeout) {
    const auto socketAddress = unixSocketOf(address);
    if (!socketAddress) {
        return BusProbe::Unknown;
    }
    const Descriptor socketFd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int fd = socketFd.get();
    if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr*>(&socketAddress->first),
                          socketAddress->second) != 0) {
        return BusProbe::Unknown;
    }
    const Clock::time_point deadline = Clock::now() + timeout;
    bool timedOut = false;
    const auto outcome = [&timedOut] { return timedOut ? BusProbe::TimedOut : BusProbe::Unknown; };

    // The credentials the kernel passes with the socket say who we are; the bus says OK.
    std::string uid;
    appendHex(uid, std::to_string(getuid()));
    if (!sendAll(fd, std::string(1, '\0') + "AUTH EXTERNAL " + uid + "\r\n")) {
        return BusProbe::Unknown;
    }
    std::string received;
    while (received.find("\r\n") == std::string::npos) {
        if (!receiveMore(fd, received, deadline, timedOut)) {
            return outcome();
        }
    }
    if (!received.starts_with("OK ")) {
        return BusProbe::Unknown;
    }
    received.erase(0, received.find("\r\n") + 2);
    if (!sendAll(fd, "BEGIN\r\n" + busCall(1, "Hello", "", "") +
                         busCall(2, "StartServiceByName", "su", startServiceBody(name)))) {
        return BusProbe::Unknown;
    }
    // The reply to Hello and the NameAcquired signal come first; the second call's reply ends it.
    for (;;) {
        const std::optional<std::size_t> size = wholeMessage(received);
        if (!size) {
            if (!receiveMore(fd, received, deadline, timedOut)) {
                return outcome();
            }
            continue;
        }
        const std::optional<Reply> reply = replyOf(received, *size);
        if (!reply) {
            return BusProbe::Unknown;
        }
        if (reply->replySerial == 1 && reply->type != kMethodReturn) {
            return BusProbe::Unknown;
        }
        if (reply->replySerial == 2) {
            return reply->type == kMethodReturn ? BusProbe::ServiceRuns : BusProbe::Unknown;
        }
        received.erase(0, *size);
    }
}

} // namespace corvane
