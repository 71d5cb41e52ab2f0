#pragma once

#include "uaxml/UaXmlDocument.h"
#include "uareader/UaNodesetXmlParser.h"
#include "uatypes/UaString.h"
