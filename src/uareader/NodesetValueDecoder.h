#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

struct _xmlNode;
class UaExtensionObject;
class UaNodeId;
class UaString;
class UaVariant;

namespace UaBase {

/// Decodes the value elements of a nodeset (the child element of a `Value`) into variants: the
/// scalar types by element name, their `ListOf` arrays, `ListOfVariant`, and the extension
/// objects of the standard structures that nodesets carry. An unreadable text gives the zero or
/// empty value of its type; a value never makes a read fail.
class NodesetValueDecoder {
public:
    /// `namespaceTranslation` maps file namespace indexes to the ones to use; it must outlive
    /// the decoder.
    explicit NodesetValueDecoder(const std::map<std::uint16_t, std::uint16_t>& namespaceTranslation);

    /// The value selected by `element`'s name; the empty value for a name without meaning.
    void decode(const _xmlNode* element, UaVariant& value) const;
    /// An `ExtensionObject` element: its type, and its decoded fields or binary body.
    UaExtensionObject extensionObject(const _xmlNode* element) const;
    /// A `NodeId` element (or any element whose `Identifier` child holds a node identifier text).
    UaNodeId nodeId(const _xmlNode* element) const;

private:
    std::uint16_t translate(std::uint16_t namespaceIndex) const;
    /// The fields of a standard structure of XML encoding `type` from the element that holds them.
    std::vector<std::pair<UaString, UaVariant>> standardFields(std::uint32_t type, const _xmlNode* element) const;

    const std::map<std::uint16_t, std::uint16_t>& m_namespaceTranslation;
};

} // namespace UaBase
