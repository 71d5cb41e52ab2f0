#pragma once

#include "platform/Registry.h"
#include "support/Result.h"
#include "uaxml/UaXmlDocument.h"
