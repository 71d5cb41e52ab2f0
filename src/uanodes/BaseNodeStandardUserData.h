#pragma once

#include "uanodes/UserDataBase.h"

#include <cstdint>

namespace UaBase {

/// The number held by a node's "UserData" extension.
class BaseNodeStandardUserData : public UserDataBase {
public:
    explicit BaseNodeStandardUserData(std::int32_t value = 0)
        : m_value(value)
    {
    }

    std::int32_t value() const { return m_value; }
    void setValue(std::int32_t value) { m_value = value; }

private:
    std::int32_t m_value;
};

} // namespace UaBase
