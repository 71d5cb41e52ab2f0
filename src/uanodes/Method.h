#pragma once

#include "uanodes/BaseNode.h"

namespace UaBase {

/// A method node.
class Method : public BaseNode {
public:
    using BaseNode::BaseNode;

    NodeClass nodeClass() const override { return NodeClass::Method; }

    bool executable() const { return m_executable; }
    void setExecutable(bool executable) { m_executable = executable; }
    bool userExecutable() const { return m_userExecutable; }
    void setUserExecutable(bool userExecutable) { m_userExecutable = userExecutable; }

private:
    bool m_executable = false;
    bool m_userExecutable = false;
};

} // namespace UaBase
