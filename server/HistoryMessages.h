#pragma once

#include "HistoryRead.h"
#include "HistoryValue.h"
#include "support/Result.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>

namespace tavoxserver {

/// The history messages of the engine's channel (server/engine/README.md, "History messages").
///
/// A value keeps its OPC UA type by its name and a stored text form that gives back the same
/// JSON value: Boolean "true" or "false"; the integer types up to 32 bits and StatusCode in
/// decimal; Int64 and UInt64 in decimal (strings on the channel, as JSON numbers lose digits
/// past 2^53); Float and Double in decimal in their shortest exact form, or "NaN", "Infinity",
/// "-Infinity"; String, LocalizedText, DateTime, ByteString, Guid, NodeId, ExpandedNodeId,
/// XmlElement and QualifiedName as their text; an array (type name with "[]") as the JSON text
/// of the array; a type the daemon does not know as the JSON text of its value. A value of
/// the wrong kind for its type is refused.
///
/// A "value" message as a HistoryValue. A missing source time is the server time, and missing
/// both the time `receivedAt` (ticks); the OPC UA minimum date counts as missing.
support::Result<HistoryValue> historyValueFromMessage(const nlohmann::json& message, std::int64_t receivedAt);

/// A "historyRead" message as a request; refused when its "id" or node is missing or malformed.
support::Result<HistoryReadRequest> historyReadFromMessage(const nlohmann::json& message);

/// The "historyData" message that answers a read.
nlohmann::json historyDataMessage(const HistoryReadResult& result);

} // namespace tavoxserver
