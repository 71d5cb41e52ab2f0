#pragma once

#include "support/Result.h"

#include <functional>
#include <string>

namespace certificates {

class StoreLayout;

/// Where the daemon's certificate steps write their lines (each without "tavox-server: ").
using LogLine = std::function<void(const std::string&)>;

/// Creates the store's missing folders and mends what is not as it must be, one line on `log`
/// for each thing created or mended: every folder 2770 (own/private 2750: the key is the
/// daemon's alone) with the group of the folder that holds the store, so that the group reads
/// certificates and moves them; every private key in own/private 0600; every other file without
/// rights for others and readable by the group. Folders are created whatever the umask. What
/// the process may not mend (a file of another user) is a warning line. Links are never
/// followed. Fails only when a folder cannot be created or opened.
support::Result<void> prepareStore(const StoreLayout& layout, const LogLine& log);

} // namespace certificates
