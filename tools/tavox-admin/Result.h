#pragma once

#include <cassert>
#include <optional>
#include <string>
#include <utility>

namespace admin {

/// A value, or the one-line message of why there is none.
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value)
        : m_value(std::move(value))
    {
    }
    static Result failure(std::string message)
    {
        Result r;
        r.m_error = std::move(message);
        return r;
    }

    explicit operator bool() const { return m_value.has_value(); }
    const T& operator*() const
    {
        assert(m_value && "no value in a failed result");
        return *m_value;
    }
    T& operator*()
    {
        assert(m_value && "no value in a failed result");
        return *m_value;
    }
    const T* operator->() const { return &**this; }
    const std::string& error() const { return m_error; }

private:
    Result() = default;
    std::optional<T> m_value;
    std::string m_error;
};

} // namespace admin
