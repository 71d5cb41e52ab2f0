#pragma once

#include "uanodes/BaseNodeFactory.h"

/// The node factory the utility installs in its nodeset reader: the place where the
/// application hooks node creation. Its variables start with the alarm switched off and no
/// alarm settings, whatever their `Tavox_Alarm` element later says.
class CTavoxBaseNodeFactory : public UaBase::BaseNodeFactory {
public:
    std::unique_ptr<UaBase::Variable> createVariable(const UaNodeId& nodeId) override;
};
