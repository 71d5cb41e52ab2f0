#pragma once

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace support {

/// What kind of failure an operation met, for callers that act on it; the message says the rest.
enum class ErrorKind {
    InvalidInput, ///< the input does not parse or is out of range
    NotFound, ///< a file, key or value is missing
    AccessDenied, ///< the process may not read or write it
    NotRegularFile, ///< a directory, pipe or device where a file was expected
    TooLarge, ///< over a size limit
    InUse, ///< held by someone else (a port, a lock)
    System, ///< the system refused an operation for another reason
};

/// Why an operation failed: the kind and a lower-case message without a final full stop,
/// ready to follow "cannot start: " or to be made a sentence.
struct Error {
    ErrorKind kind = ErrorKind::System;
    std::string message;

    /// The kind that the C library's error number stands for, with the message
    /// "<what>: <strerror text>".
    static Error fromErrno(int error, const std::string& what);
    /// An input that is refused (InvalidInput).
    static Error invalidInput(std::string message) { return { ErrorKind::InvalidInput, std::move(message) }; }

    /// The message as a sentence for a person: its first letter capitalised, a full stop after it.
    std::string sentence() const;
};

/// A value, or the Error of why there is none. A failed Result converts from an Error, so
/// `return Error{ErrorKind::NotFound, "..."};` fails any Result.
template <class T> class [[nodiscard]] Result {
public:
    Result(T value)
        : m_state(std::in_place_index<0>, std::move(value))
    {
    }
    Result(Error error)
        : m_state(std::in_place_index<1>, std::move(error))
    {
    }

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T& operator*() const&
    {
        assert(ok() && "no value in a failed result");
        return std::get<0>(m_state);
    }
    T& operator*() &
    {
        assert(ok() && "no value in a failed result");
        return std::get<0>(m_state);
    }
    T&& operator*() &&
    {
        assert(ok() && "no value in a failed result");
        return std::get<0>(std::move(m_state));
    }
    const T* operator->() const { return &**this; }
    T* operator->() { return &**this; }

    const Error& error() const
    {
        assert(!ok() && "no error in a successful result");
        return std::get<1>(m_state);
    }

private:
    std::variant<T, Error> m_state;
};

/// Success without a value, or the Error of why not.
template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error)
        : m_error(std::move(error))
        , m_failed(true)
    {
    }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }

    const Error& error() const
    {
        assert(m_failed && "no error in a successful result");
        return m_error;
    }

private:
    Error m_error;
    bool m_failed = false;
};

} // namespace support
