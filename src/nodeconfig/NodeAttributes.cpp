#include "nodeconfig/NodeAttributes.h"

#include "nodeconfig/AlarmHistoryEntry.h"
#include "uanodes/BaseNode.h"
#include "uanodes/Variable.h"
#include "uatypes/UaString.h"

#include <cstdint>

namespace nodeconfig {
namespace {

/// `text` split at its first `count - 1` bars, empty pieces skipped: the last piece runs to the
/// end of the text, so a name or identifier that holds a bar is shown whole.
std::vector<std::string_view> barPieces(std::string_view text, std::size_t count)
{
    std::vector<std::string_view> pieces;
    for (std::size_t split = 1; split < count; ++split) {
        const std::size_t bar = text.find('|');
        if (bar == std::string_view::npos)
            break;
        if (bar > 0)
            pieces.push_back(text.substr(0, bar));
        text.remove_prefix(bar + 1);
    }
    if (!text.empty())
        pieces.push_back(text);
    return pieces;
}

std::string_view nodeClassName(UaBase::NodeClass nodeClass)
{
    switch (nodeClass) {
    case UaBase::NodeClass::Object:
        return "Object";
    case UaBase::NodeClass::Variable:
        return "Variable";
    case UaBase::NodeClass::Method:
        return "Method";
    case UaBase::NodeClass::ObjectType:
        return "ObjectType";
    case UaBase::NodeClass::VariableType:
        return "VariableType";
    case UaBase::NodeClass::ReferenceType:
        return "ReferenceType";
    case UaBase::NodeClass::DataType:
        return "NodeClass_DataType";
    case UaBase::NodeClass::View:
        return "View";
    case UaBase::NodeClass::Unspecified:
        break;
    }
    return "Unspecified";
}

/// Masks are shown as signed decimal numbers, as the list always showed them.
std::string maskText(std::uint32_t mask) { return std::to_string(static_cast<std::int32_t>(mask)); }

} // namespace

std::string twoPartDisplay(std::string_view form)
{
    const std::vector<std::string_view> pieces = barPieces(form, 2);
    if (pieces.empty())
        return {};
    if (pieces.size() == 1)
        return "\"\" , \"" + std::string(pieces[0]) + "\"";
    return std::string(pieces[0]) + " , \"" + std::string(pieces[1]) + "\"";
}

std::vector<AttributeRow> nodeAttributeRows(const UaBase::BaseNode& node)
{
    std::vector<AttributeRow> rows { { "NodeID", "" } };
    static constexpr const char* kIdParts[] = { "    NamespaceIndex", "    IdentifierType", "    Identifier" };
    const UaString fullId = node.nodeId().toFullString();
    const std::vector<std::string_view> parts = barPieces(fullId.view(), 3);
    for (std::size_t i = 0; i < parts.size(); ++i)
        rows.push_back({ kIdParts[i], std::string(parts[i]) });
    rows.push_back({ "NodeClass", std::string(nodeClassName(node.nodeClass())) });
    rows.push_back({ "BrowseName", twoPartDisplay(node.browseName().toFullString().view()) });
    if (node.nodeClass() == UaBase::NodeClass::Variable) {
        const auto& variable = static_cast<const UaBase::Variable&>(node);
        rows.push_back({ "    DataType", std::string(dataTypeName(alarmDataTypeOf(variable.dataType()))) });
    }
    rows.push_back({ "DisplayName", twoPartDisplay(node.displayName().toFullString().view()) });
    rows.push_back({ "Description", node.description().text().toStdString() });
    rows.push_back({ "WriteMask", maskText(node.writeMask()) });
    rows.push_back({ "UserWriteMask", maskText(node.userWriteMask()) });
    return rows;
}

std::vector<AttributeRow> alarmConditionRows(const AlarmHistoryEntry& entry, bool underAlarmRoot)
{
    const UaBase::BaseNode* node = entry.node;
    const bool showsLimits = underAlarmRoot && node && node->nodeClass() == UaBase::NodeClass::Variable
        && alarmDataTypeOf(static_cast<const UaBase::Variable*>(node)->dataType()) != AlarmDataType::Boolean;
    const auto value = [showsLimits](const std::string& limit) { return showsLimits ? limit : std::string("---"); };
    return { { "HighHighLimit", value(entry.highHighLimit) },
        { "HighLimit", value(entry.highLimit) },
        { "LowLimit", value(entry.lowLimit) },
        { "LowLowLimit", value(entry.lowLowLimit) } };
}

} // namespace nodeconfig
