#pragma once

#include "uatypes/UaNodeId.h"

#include <cstddef>

namespace UaBase {

/// One reference of a node: its type, its direction and the node it points to.
class Reference {
public:
    Reference() = default;
    Reference(const UaNodeId& referenceTypeId, bool isForward, const UaNodeId& targetNodeId)
        : m_referenceTypeId(referenceTypeId)
        , m_isForward(isForward)
        , m_targetNodeId(targetNodeId)
    {
    }

    const UaNodeId& referenceTypeId() const { return m_referenceTypeId; }
    bool isForward() const { return m_isForward; }
    const UaNodeId& targetNodeId() const { return m_targetNodeId; }

    /// The same reference seen from its target: same type, opposite direction, pointing at `source`.
    Reference inverseFrom(const UaNodeId& source) const { return Reference(m_referenceTypeId, !m_isForward, source); }

    /// Equality with the parts of a reference.
    bool is(const UaNodeId& referenceTypeId, bool isForward, const UaNodeId& targetNodeId) const
    {
        return m_isForward == isForward && m_referenceTypeId == referenceTypeId && m_targetNodeId == targetNodeId;
    }

    friend bool operator==(const Reference& a, const Reference& b)
    {
        return a.m_isForward == b.m_isForward && a.m_referenceTypeId == b.m_referenceTypeId
            && a.m_targetNodeId == b.m_targetNodeId;
    }
    friend bool operator!=(const Reference& a, const Reference& b) { return !(a == b); }

private:
    UaNodeId m_referenceTypeId;
    bool m_isForward = true;
    UaNodeId m_targetNodeId;
};

/// Hash of a reference, consistent with its equality.
struct ReferenceHash {
    std::size_t operator()(const Reference& reference) const noexcept
    {
        return of(reference.referenceTypeId(), reference.isForward(), reference.targetNodeId());
    }
    static std::size_t of(const UaNodeId& referenceTypeId, bool isForward, const UaNodeId& targetNodeId) noexcept
    {
        return (referenceTypeId.hash() * 31 + targetNodeId.hash()) * 2 + (isForward ? 1 : 0);
    }
};

} // namespace UaBase
