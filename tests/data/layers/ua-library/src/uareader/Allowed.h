#pragma once

#include "uanodes/BaseNode.h"
#include "uatypes/UaNodeId.h"
#include "uaxml/UaXmlDocument.h"
#include "support/WholeFile.h"
