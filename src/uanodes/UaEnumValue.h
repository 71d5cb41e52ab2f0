#pragma once

#include "uatypes/UaString.h"

#include <cstdint>

/// One named value of an enumeration data type.
class UaEnumValue {
public:
    UaEnumValue() = default;
    UaEnumValue(const UaString& name, std::int32_t value)
        : m_name(name)
        , m_value(value)
    {
    }

    const UaString& name() const { return m_name; }
    void setName(const UaString& name) { m_name = name; }
    std::int32_t value() const { return m_value; }
    void setValue(std::int32_t value) { m_value = value; }

    friend bool operator==(const UaEnumValue& a, const UaEnumValue& b)
    {
        return a.m_value == b.m_value && a.m_name == b.m_name;
    }

private:
    UaString m_name;
    std::int32_t m_value = 0;
};
