#pragma once

#include "config/CTavoxEnvmnt.h"
#include "support/Result.h"

#include <cstdint>
#include <string>
#include <string_view>

/// What the Endpoints page shows and stores: the UA TCP and HTTPS ports, the HTTPS switch
/// (bit 0x20 of "Authentication") and the "None" security mode (bit 0x01 of "SecurityMode").
/// Every load reads the machine store it is handed afresh.
class EndpointSettings {
public:
    /// The store must outlive the object.
    explicit EndpointSettings(const platform::SettingsStore& machine)
        : m_server(machine)
    {
    }

    struct Shown {
        std::u16string computerName;
        std::uint32_t uaTcpPort = 0;
        std::uint32_t httpsPort = 0;
        bool securityNone = false;
        bool https = false;
        std::u16string uaTcpUrl;
        std::u16string httpsUrl;
    };

    /// The page's fields as the user left them.
    struct Edited {
        bool https = false;
        bool securityNone = false;
        std::u16string uaTcpPortText;
        std::u16string httpsPortText;
    };

    enum class Check {
        Ok,
        SamePorts, ///< HTTPS is on and both ports are equal
        PortTooLarge, ///< a port, taken as unsigned, is 65535 or more
    };

    /// What a refused check says ("\n" breaks its line); empty for Ok.
    static std::string_view message(Check check);

    Shown load() const;
    /// Checks the edited fields and, when they pass, stores "SecurityMode", "Authentication",
    /// "UaTcpPort" and "HttpsPort" in that order. A refused check fails with InvalidInput and its
    /// message, and nothing is stored. A failed write does not stop the remaining ones; the
    /// result then fails (System) naming the values that were not stored.
    support::Result<void> apply(const Edited& edited) const;

    static Check validate(bool https, int uaTcpPort, int httpsPort);
    /// The C library's decimal conversion: leading blanks, an optional sign, leading digits;
    /// no digits give 0. Out-of-range numbers saturate at the int limits, so that a huge
    /// number is refused as a port rather than wrapping to a small one.
    static int portFromText(std::u16string_view text);
    static std::uint32_t securityModeWith(std::uint32_t stored, bool securityNone);
    static std::uint32_t authenticationWith(std::uint32_t stored, bool https);

    static std::u16string uaTcpUrl(std::u16string_view computerName, std::uint32_t port);
    static std::u16string httpsUrl(std::u16string_view computerName, std::uint32_t port);
    /// This machine's name as the endpoint URLs carry it (the host name); empty when unknown.
    static std::u16string computerName();

private:
    CTavoxEnvmnt m_server;
};
