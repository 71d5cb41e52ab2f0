#pragma once

#include "uanodes/BaseNode.h"
#include "uanodes/ValueAttributes.h"
#include "uatypes/UaString.h"

#include <cstdint>
#include <map>

namespace UaBase {

/// Access level bits of a variable; HistoryRead marks a variable logged to the history database.
inline constexpr std::uint8_t kAccessLevelCurrentRead = 0x01;
inline constexpr std::uint8_t kAccessLevelCurrentWrite = 0x02;
inline constexpr std::uint8_t kAccessLevelHistoryRead = 0x04;
inline constexpr std::uint8_t kAccessLevelHistoryWrite = 0x08;

/// The product's alarm settings of a variable: attribute name of its `Tavox_Alarm` element
/// ("Alarm", "AlarmLimit_HH", ...) to the attribute's text, in UaString order.
using AlarmSettings = std::map<UaString, UaString>;

/// A variable node, with the product's alarm settings.
class Variable : public BaseNode, public ValueAttributes {
public:
    using BaseNode::BaseNode;

    NodeClass nodeClass() const override { return NodeClass::Variable; }

    std::uint8_t accessLevel() const { return m_accessLevel; }
    void setAccessLevel(std::uint8_t accessLevel) { m_accessLevel = accessLevel; }
    std::uint8_t userAccessLevel() const { return m_userAccessLevel; }
    void setUserAccessLevel(std::uint8_t userAccessLevel) { m_userAccessLevel = userAccessLevel; }
    /// Milliseconds.
    double minimumSamplingInterval() const { return m_minimumSamplingInterval; }
    void setMinimumSamplingInterval(double interval) { m_minimumSamplingInterval = interval; }
    bool historizing() const { return m_historizing; }
    void setHistorizing(bool historizing) { m_historizing = historizing; }

    /// True only when the variable's `Tavox_Alarm` element says Alarm="true".
    bool alarmEnabled() const { return m_alarmEnabled; }
    void setAlarmEnabled(bool alarmEnabled) { m_alarmEnabled = alarmEnabled; }
    AlarmSettings alarmSettings() const { return m_alarmSettings; }
    void setAlarmSettings(const AlarmSettings& alarmSettings) { m_alarmSettings = alarmSettings; }

private:
    std::uint8_t m_accessLevel = 0;
    std::uint8_t m_userAccessLevel = 0;
    double m_minimumSamplingInterval = 0;
    bool m_historizing = false;
    bool m_alarmEnabled = false;
    AlarmSettings m_alarmSettings;
};

} // namespace UaBase
