#pragma once

#include "uareader/UaNodesetXmlParser.h"

#include <cstdint>

struct _xmlNode;

namespace UaBase {

/// What the reader read from a document while it loaded: the nodes up to the first node element
/// that failed, the aliases, and where the elements parseNodes looks for lie.
struct UaNodesetXmlParser::EarlyNodes {
    // False: parseNodes reads the document the usual way.
    bool usable = true;
    // What the nodes were read from and with.
    const UaXmlDocument* document = nullptr;
    std::uint64_t revision = 0;
    const BaseNodeFactory* factory = nullptr;

    NodeMap nodes;
    UaStatus status = UaStatus::Good;
    // Child elements of the root so far; the failed node element and its position.
    std::size_t position = 0;
    const _xmlNode* failed = nullptr;
    std::size_t failedPosition = 0;
    // The first `Extensions` element before any failed node element, and the root's last child.
    const _xmlNode* extensions = nullptr;
    const _xmlNode* last = nullptr;

    bool nodeSeen = false;
    bool aliasesSeen = false;
    // The file's alias tables, as parseNodes reads them into the reader's empty tables.
    std::map<UaWideString, UaNodeId> aliases;
    std::unordered_map<std::string, UaNodeId, TextHash, std::equal_to<>> aliasIndex;
    bool aliasHasNumericName = false;
};

} // namespace UaBase
