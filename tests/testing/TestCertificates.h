#pragma once

#include "platform/X509Certificates.h"
#include "support/AtomicFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

/// A client's certificate as a test needs it: made for `name` with the URI "urn:NAME:client",
/// valid from an hour ago for a year unless told otherwise, written to `file` (PEM). A small key
/// keeps the tests quick; the store never looks at its size.
inline platform::CertificateInfo writeClientCertificate(const std::filesystem::path& file,
    const std::string& name,
    std::chrono::system_clock::time_point from = std::chrono::system_clock::now() - std::chrono::hours(1),
    std::chrono::system_clock::time_point to = std::chrono::system_clock::now() + std::chrono::hours(24 * 365))
{
    using Clock = std::chrono::system_clock;
    const auto made = platform::createApplicationCertificate(
        { name, "Tests", "urn:" + name + ":client", name, Clock::to_time_t(from), Clock::to_time_t(to), 1024 });
    EXPECT_TRUE(made.ok());
    if (!made)
        return {};
    EXPECT_TRUE(support::writeFileAtomically(file, made->certificatePem).ok()) << file;
    return *platform::readCertificate(made->certificatePem);
}
