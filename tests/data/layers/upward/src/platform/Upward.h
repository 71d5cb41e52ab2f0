#pragma once

#include "config/CTavoxEnvmnt.h"
#include "support/Result.h"
