#include "uanodes/CTavoxBaseNodeFactory.h"

#include "uanodes/Variable.h"

std::unique_ptr<UaBase::Variable> CTavoxBaseNodeFactory::createVariable(const UaNodeId& nodeId)
{
    auto variable = UaBase::BaseNodeFactory::createVariable(nodeId);
    // The reader leaves the flag alone for a `Tavox_Alarm` element without an Alarm attribute,
    // so it must be off from the start.
    variable->setAlarmEnabled(false);
    variable->setAlarmSettings({});
    return variable;
}
