#include "tavox-nodeset/NodeJson.h"

#include "uanodes/BaseNode.h"
#include "uanodes/DataType.h"
#include "uanodes/Method.h"
#include "uanodes/Object.h"
#include "uanodes/ReferenceType.h"
#include "uanodes/Variable.h"
#include "uanodes/VariableType.h"
#include "uatypes/UaVariant.h"

namespace {

using Json = nlohmann::ordered_json;
using namespace UaBase;

std::string text(const UaString& value) { return value.toStdString(); }

/// A node identifier in its text form; null for the null identifier.
Json nodeIdOrNull(const UaNodeId& id) { return id.isNull() ? Json(nullptr) : Json(text(id.toString())); }

Json valueJson(const UaVariant& value)
{
    std::size_t length = 0;
    if (value.isArray()) {
        length = value.arrayLength();
    } else if (!value.isEmpty()) {
        length = 1;
    }
    return Json { { "type", static_cast<int>(value.type()) }, { "array", value.isArray() }, { "length", length } };
}

Json referencesJson(const BaseNode& node)
{
    Json references = Json::array();
    for (const Reference& reference : node.references()) {
        references.push_back(Json::array({ text(reference.referenceTypeId().toString()),
            reference.isForward(),
            text(reference.targetNodeId().toString()) }));
    }
    return references;
}

void addVariable(const Variable& variable, Json& json)
{
    json["dataType"] = text(variable.dataType().toString());
    json["valueRank"] = variable.valueRank();
    json["accessLevel"] = variable.accessLevel();
    json["userAccessLevel"] = variable.userAccessLevel();
    json["historizing"] = variable.historizing();
    json["alarmEnabled"] = variable.alarmEnabled();
    Json settings = Json::object();
    for (const auto& [name, value] : variable.alarmSettings()) {
        settings[text(name)] = text(value);
    }
    json["alarmSettings"] = settings;
    json["value"] = valueJson(variable.value());
    json["minimumSamplingInterval"] = variable.minimumSamplingInterval();
}

Json structureJson(const UaStructureDefinition& structure)
{
    Json fields = Json::array();
    for (const UaStructureField& field : structure.fields()) {
        fields.push_back(Json { { "name", text(field.name()) },
            { "dataType", text(field.dataTypeId().toString()) },
            { "builtInType", static_cast<int>(field.builtInType()) },
            { "valueRank", field.valueRank() },
            { "isOptional", field.isOptional() } });
    }
    return Json { { "name", text(structure.name()) }, { "fields", fields }, { "isUnion", structure.isUnion() } };
}

Json enumJson(const UaEnumDefinition& enumeration)
{
    Json values = Json::array();
    for (const UaEnumValue& value : enumeration.values()) {
        values.push_back(Json { { "name", text(value.name()) }, { "value", value.value() } });
    }
    return Json { { "name", text(enumeration.name()) }, { "values", values } };
}

void addTypeNode(const TypeNode& type, Json& json)
{
    json["isAbstract"] = type.isAbstract();
    json["superType"] = nodeIdOrNull(type.superType());
}

} // namespace

const char* nodeClassName(const BaseNode& node)
{
    switch (node.nodeClass()) {
    case NodeClass::Object:
        return "Object";
    case NodeClass::Variable:
        return "Variable";
    case NodeClass::Method:
        return "Method";
    case NodeClass::ObjectType:
        return "ObjectType";
    case NodeClass::VariableType:
        return "VariableType";
    case NodeClass::ReferenceType:
        return "ReferenceType";
    case NodeClass::DataType:
        return "DataType";
    case NodeClass::View:
        return "View";
    case NodeClass::Unspecified:
        break;
    }
    return "Unspecified";
}

nlohmann::ordered_json nodeToJson(const BaseNode& node)
{
    Json json;
    json["nodeId"] = text(node.nodeId().toString());
    json["nodeClass"] = nodeClassName(node);
    json["browseName"] = text(node.browseName().toFullString());
    json["displayName"] = text(node.displayName().toFullString());
    UaNodeId parent;
    UaNodeId parentReferenceType;
    node.getParent(parent, parentReferenceType);
    json["parent"] = nodeIdOrNull(parent);
    json["parentReferenceType"] = nodeIdOrNull(parentReferenceType);
    json["references"] = referencesJson(node);

    switch (node.nodeClass()) {
    case NodeClass::Object:
        json["eventNotifier"] = static_cast<const Object&>(node).eventNotifier();
        break;
    case NodeClass::Variable:
        addVariable(static_cast<const Variable&>(node), json);
        break;
    case NodeClass::Method:
        json["executable"] = static_cast<const Method&>(node).executable();
        json["userExecutable"] = static_cast<const Method&>(node).userExecutable();
        break;
    case NodeClass::ObjectType:
        addTypeNode(static_cast<const TypeNode&>(node), json);
        break;
    case NodeClass::VariableType: {
        const auto& variableType = static_cast<const VariableType&>(node);
        addTypeNode(variableType, json);
        json["dataType"] = text(variableType.dataType().toString());
        json["valueRank"] = variableType.valueRank();
        json["value"] = valueJson(variableType.value());
        break;
    }
    case NodeClass::ReferenceType: {
        const auto& referenceType = static_cast<const ReferenceType&>(node);
        addTypeNode(referenceType, json);
        json["symmetric"] = referenceType.symmetric();
        json["inverseName"] = text(referenceType.inverseName().toFullString());
        break;
    }
    case NodeClass::DataType: {
        const auto& dataType = static_cast<const DataType&>(node);
        addTypeNode(dataType, json);
        const UaStructureDefinition structure = dataType.structureDefinition();
        if (structure.hasName()) {
            json["structure"] = structureJson(structure);
        }
        const UaEnumDefinition enumeration = dataType.enumDefinition();
        if (!enumeration.isEmpty()) {
            json["enum"] = enumJson(enumeration);
        }
        break;
    }
    case NodeClass::View:
    case NodeClass::Unspecified:
        break;
    }
    json["description"] = text(node.description().toFullString());
    return json;
}
