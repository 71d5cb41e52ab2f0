#pragma once

#include "uanodes/BaseNode.h"

#include <cstdint>

namespace UaBase {

/// An object node. Besides the factory, the browse tree builds its fixed roots directly.
class Object : public BaseNode {
public:
    explicit Object(const UaNodeId& nodeId = UaNodeId())
        : BaseNode(nodeId)
    {
    }

    NodeClass nodeClass() const override { return NodeClass::Object; }

    std::uint8_t eventNotifier() const { return m_eventNotifier; }
    void setEventNotifier(std::uint8_t eventNotifier) { m_eventNotifier = eventNotifier; }

private:
    std::uint8_t m_eventNotifier = 0;
};

} // namespace UaBase
