#pragma once

#include <string>
#include <utility>
#include <variant>

namespace corvane {

// Why something failed, in words a user can act on, with the OS error where there was one.
struct Error {
    std::string reason;
    int code = 0; // errno, or 0
};

// A value or the reason there is none. A result that is not looked at is a bug, hence nodiscard.
template <class T, class E = Error> class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(E error) : m_state(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() { return std::get<0>(m_state); }
    const T& value() const { return std::get<0>(m_state); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const E& error() const { return std::get<1>(m_state); }

private:
    std::variant<T, E> m_state;
};

// Success or the reason for a failure, for operations with no value to give back.
struct Done {};
using Status = Result<Done>;

} // namespace corvane
