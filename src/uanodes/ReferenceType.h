#pragma once

#include "uanodes/TypeNode.h"
#include "uatypes/UaLocalizedText.h"

#include <utility>

namespace UaBase {

/// A reference type node.
class ReferenceType : public TypeNode {
public:
    using TypeNode::TypeNode;

    NodeClass nodeClass() const override { return NodeClass::ReferenceType; }

    bool symmetric() const { return m_symmetric; }
    void setSymmetric(bool symmetric) { m_symmetric = symmetric; }
    UaLocalizedText inverseName() const { return m_inverseName; }
    void setInverseName(UaLocalizedText inverseName) { m_inverseName = std::move(inverseName); }

private:
    bool m_symmetric = false;
    UaLocalizedText m_inverseName;
};

} // namespace UaBase
