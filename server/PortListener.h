#pragma once

#include "support/Result.h"

#include <cstdint>
#include <string>

namespace tavoxserver {

/// A TCP port listened on on every address (IPv6 and IPv4 where the host has IPv6, IPv4
/// otherwise). Connections are accepted and closed at once: the port is held, no protocol is
/// spoken. Closed when the object goes.
class PortListener {
public:
    PortListener() = default;
    ~PortListener();
    PortListener(PortListener&& other) noexcept;
    PortListener& operator=(PortListener&& other) noexcept;
    PortListener(const PortListener&) = delete;
    PortListener& operator=(const PortListener&) = delete;

    /// Binds and listens; fails with a sentence naming the port and `purpose` ("UA TCP").
    support::Result<void> listen(std::uint16_t port, const std::string& purpose);

    int fd() const { return m_fd; }
    /// Accepts and closes every pending connection.
    void dropPendingConnections() const;

private:
    void close();

    int m_fd = -1;
};

} // namespace tavoxserver
