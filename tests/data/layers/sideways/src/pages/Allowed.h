#pragma once

#include "uikit/TavoxPage.h"
#include "users/CTavoxUsrAuth.h"
#include "nodeconfig/ui/CPgXmlConfigure.h"
