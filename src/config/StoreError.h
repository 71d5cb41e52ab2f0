#pragma once

#include "platform/Registry.h"
#include "support/Result.h"

#include <string>

/// The one way a settings-store status becomes a failure: the kind the status stands for and
/// the message "<what>: <the status's text>".
support::Error storeError(platform::RegStatus status, const std::string& what);
