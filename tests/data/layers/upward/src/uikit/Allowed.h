#pragma once

#include "config/CTavoxEnvmnt.h"
#include "uikit/MessageBoxes.h"
