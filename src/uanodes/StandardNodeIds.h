#pragma once

#include "uatypes/UaNodeId.h"

#include <cstdint>

namespace UaBase {

/// Numeric identifiers of the standard reference types (namespace 0) the node model looks at.
namespace reference_type_ids {
inline constexpr std::uint32_t HasChild = 34;
inline constexpr std::uint32_t Organizes = 35;
inline constexpr std::uint32_t HasEncoding = 38;
inline constexpr std::uint32_t Aggregates = 44;
inline constexpr std::uint32_t HasSubtype = 45;
inline constexpr std::uint32_t HasProperty = 46;
inline constexpr std::uint32_t HasComponent = 47;
inline constexpr std::uint32_t HasOrderedComponent = 49;
inline constexpr std::uint32_t HasHistoricalConfiguration = 56;
} // namespace reference_type_ids

/// Numeric identifiers of the standard data types (namespace 0) the reader looks at.
namespace DataTypeIds {
inline constexpr std::uint32_t Structure = 22;
inline constexpr std::uint32_t BaseDataType = 24;
inline constexpr std::uint32_t Enumeration = 29;
} // namespace DataTypeIds

/// Whether `nodeId` is a numeric identifier in namespace 0.
inline bool isStandardNumeric(const UaNodeId& nodeId)
{
    return nodeId.namespaceIndex() == 0 && nodeId.identifierType() == UaIdentifierType::Numeric;
}

/// Whether `nodeId` is the numeric identifier `numeric` in namespace 0.
inline bool isStandardNode(const UaNodeId& nodeId, std::uint32_t numeric)
{
    return isStandardNumeric(nodeId) && nodeId.identifierNumeric() == numeric;
}

} // namespace UaBase
