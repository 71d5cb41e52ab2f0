#include "uanodes/BaseNodeFactory.h"

#include "uanodes/DataType.h"
#include "uanodes/Method.h"
#include "uanodes/Object.h"
#include "uanodes/ObjectType.h"
#include "uanodes/ReferenceType.h"
#include "uanodes/Variable.h"
#include "uanodes/VariableType.h"

namespace UaBase {

BaseNodeFactory::~BaseNodeFactory() = default;

std::unique_ptr<Object> BaseNodeFactory::createObject(const UaNodeId& nodeId)
{
    return std::make_unique<Object>(nodeId);
}

std::unique_ptr<Variable> BaseNodeFactory::createVariable(const UaNodeId& nodeId)
{
    return std::make_unique<Variable>(nodeId);
}

std::unique_ptr<Method> BaseNodeFactory::createMethod(const UaNodeId& nodeId)
{
    return std::make_unique<Method>(nodeId);
}

std::unique_ptr<DataType> BaseNodeFactory::createDataType(const UaNodeId& nodeId)
{
    return std::make_unique<DataType>(nodeId);
}

std::unique_ptr<ReferenceType> BaseNodeFactory::createReferenceType(const UaNodeId& nodeId)
{
    return std::make_unique<ReferenceType>(nodeId);
}

std::unique_ptr<ObjectType> BaseNodeFactory::createObjectType(const UaNodeId& nodeId)
{
    return std::make_unique<ObjectType>(nodeId);
}

std::unique_ptr<VariableType> BaseNodeFactory::createVariableType(const UaNodeId& nodeId)
{
    return std::make_unique<VariableType>(nodeId);
}

} // namespace UaBase
