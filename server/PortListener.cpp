#include "PortListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace tavoxserver {
namespace {

constexpr int kBacklog = 16;

int openSocket(int family) { return ::socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0); }

// The socket bound to `address`; -1 with the bind's errno, the socket closed, when it fails.
int bindOrClose(int fd, const sockaddr* address, socklen_t length)
{
    if (::bind(fd, address, length) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

// Binds the IPv6 wildcard with IPv4 mapped in; -1 with errno when IPv6 is not there.
int bindDualStack(std::uint16_t port)
{
    const int fd = openSocket(AF_INET6);
    if (fd < 0)
        return -1;
    const int yes = 1;
    const int no = 0;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
    sockaddr_in6 address {};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_any;
    address.sin6_port = htons(port);
    return bindOrClose(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

int bindIpv4(std::uint16_t port)
{
    const int fd = openSocket(AF_INET);
    if (fd < 0)
        return -1;
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    return bindOrClose(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

} // namespace

PortListener::~PortListener() { close(); }

PortListener::PortListener(PortListener&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
{
}

PortListener& PortListener::operator=(PortListener&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

support::Result<void> PortListener::listen(std::uint16_t port, const std::string& purpose)
{
    close();
    int fd = bindDualStack(port);
    if (fd < 0 && (errno == EAFNOSUPPORT || errno == EADDRNOTAVAIL))
        fd = bindIpv4(port);
    const std::string what = "port " + std::to_string(port) + " (" + purpose + ")";
    if (fd < 0) {
        if (errno == EADDRINUSE)
            return support::Error { support::ErrorKind::InUse, what + " is in use by another program" };
        return support::Error::fromErrno(errno, "cannot bind " + what);
    }
    if (::listen(fd, kBacklog) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EADDRINUSE)
            return support::Error { support::ErrorKind::InUse, what + " is in use by another program" };
        return support::Error::fromErrno(error, "cannot listen on " + what);
    }
    m_fd = fd;
    return {};
}

void PortListener::dropPendingConnections() const
{
    if (m_fd < 0)
        return;
    for (;;) {
        const int connection = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            return;
        ::close(connection);
    }
}

void PortListener::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace tavoxserver
