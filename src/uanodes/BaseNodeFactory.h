#pragma once

#include "uatypes/UaNodeId.h"

#include <memory>

namespace UaBase {

class DataType;
class Method;
class Object;
class ObjectType;
class ReferenceType;
class Variable;
class VariableType;

/// Makes every node the nodeset reader creates, so that an application can substitute node
/// classes of its own. Each operation returns a new node with the given identifier and every
/// other field at its default; the caller owns it.
class BaseNodeFactory {
public:
    BaseNodeFactory() = default;
    virtual ~BaseNodeFactory();
    BaseNodeFactory(const BaseNodeFactory&) = delete;
    BaseNodeFactory& operator=(const BaseNodeFactory&) = delete;

    virtual std::unique_ptr<Object> createObject(const UaNodeId& nodeId);
    virtual std::unique_ptr<Variable> createVariable(const UaNodeId& nodeId);
    virtual std::unique_ptr<Method> createMethod(const UaNodeId& nodeId);
    virtual std::unique_ptr<DataType> createDataType(const UaNodeId& nodeId);
    virtual std::unique_ptr<ReferenceType> createReferenceType(const UaNodeId& nodeId);
    virtual std::unique_ptr<ObjectType> createObjectType(const UaNodeId& nodeId);
    virtual std::unique_ptr<VariableType> createVariableType(const UaNodeId& nodeId);
};

} // namespace UaBase
