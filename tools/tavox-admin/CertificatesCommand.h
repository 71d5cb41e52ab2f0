#pragma once

#include "CommandHelp.h"

namespace admin {

extern const CommandHelp kCertificatesHelp;

/// `certificates list|trust|reject|remove|renew`: the server's own certificate and the clients' it trusts or refused.
int runCertificates(Arguments args, const Streams& io, const AdminContext& context);

} // namespace admin
