#include "certificates/OwnCertificate.h"
#include "certificates/StoreLayout.h"

#include "support/AtomicFile.h"
#include "support/WholeFile.h"
#include "testing/TempDir.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using certificates::StoreLayout;
using Clock = std::chrono::system_clock;

const certificates::ServerIdentity kIdentity { "plant1", "urn:plant1:Tavox:Server" };

mode_t modeOf(const fs::path& path)
{
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

class ServerCertificatesTest : public ::testing::Test {
protected:
    /// The daemon's start on the sandbox: its log lines, or the failure as the last line.
    std::vector<std::string> start(Clock::time_point now = Clock::now())
    {
        std::vector<std::string> lines;
        const auto started = certificates::prepareServerCertificates(
            m_state.path(), kIdentity, [&lines](const std::string& line) { lines.push_back(line); }, now);
        if (!started)
            lines.push_back("failed: " + started.error().message);
        return lines;
    }
    std::string thumbprint() const
    {
        return platform::readCertificate(*support::readWholeFile(m_store.serverCertificate()))->thumbprint;
    }

    TempDir m_state;
    StoreLayout m_store = StoreLayout::applications(m_state.path());
};

TEST_F(ServerCertificatesTest, FoldersAndKeyGetTheirModesWhateverTheUmask)
{
    for (const mode_t umask : { mode_t { 0000 }, mode_t { 0077 } }) {
        fs::remove_all(m_state / "pki");
        fs::remove_all(m_state / "pki-user");
        const mode_t before = ::umask(umask);
        const std::vector<std::string> lines = start();
        ::umask(before);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(
            lines.back().rfind("server certificate " + m_store.serverCertificate().string() + ": thumbprint ", 0), 0u)
            << lines.back();
        for (const StoreLayout& store : { m_store, StoreLayout::users(m_state.path()) })
            for (const fs::path& folder : store.folders())
                EXPECT_EQ(modeOf(folder), folder == store.ownPrivate() ? 02750u : 02770u)
                    << folder << " umask " << umask;
        EXPECT_EQ(modeOf(m_store.serverPrivateKey()), 0600u) << "umask " << umask;
        EXPECT_EQ(modeOf(m_store.serverCertificate()), 0640u) << "umask " << umask;
    }
}

TEST_F(ServerCertificatesTest, StartMendsModesAndSaysSo)
{
    ASSERT_EQ(start().size(), 4u) << "two stores created, the certificate made and described";
    fs::permissions(m_store.serverPrivateKey(), fs::perms(0644));
    fs::permissions(m_store.rejected(), fs::perms(0755));
    fs::remove(m_store.root() / "issuers" / "crl");
    ASSERT_TRUE(support::writeFileAtomically(m_store.trustedCerts() / "client.pem", "x", 0664).ok());
    const std::vector<std::string> lines = start();
    const std::string pki = m_store.root().string();
    const std::vector<std::string> mends(lines.begin(), lines.end() - 1);
    EXPECT_EQ(mends,
        (std::vector<std::string> { "private key " + pki + "/own/private/private_key.pem: mode 0644 mended to 0600",
            "certificate file " + pki + "/trusted/certs/client.pem: mode 0664 mended to 0660",
            "certificate folder " + pki + "/rejected: mode 0755 mended to 2770",
            "certificate folder " + pki + "/issuers/crl created" }));
    EXPECT_EQ(modeOf(m_store.serverPrivateKey()), 0600u);
    EXPECT_EQ(start().size(), 1u) << "nothing left to mend";
}

TEST_F(ServerCertificatesTest, CertificateIsMadeOnceRenewedOnlyWhenAskedAndWarnedOfItsEnd)
{
    (void)start();
    const std::string first = thumbprint();
    (void)start();
    EXPECT_EQ(thumbprint(), first) << "never replaced unasked";

    // An administrator who is not the daemon's user leaves a request; the daemon renews at its start.
    ASSERT_TRUE(support::writeFileAtomically(m_store.renewalRequest(), "requested\n", 0640).ok());
    const std::vector<std::string> renewed = start();
    ASSERT_EQ(renewed.size(), 2u);
    EXPECT_EQ(renewed[0].rfind("server certificate renewed as requested: ", 0), 0u) << renewed[0];
    EXPECT_NE(thumbprint(), first);
    EXPECT_FALSE(fs::exists(m_store.renewalRequest()));
    std::size_t kept = 0;
    for (const auto& entry : fs::directory_iterator(m_store.ownCerts()))
        kept += entry.path() != m_store.serverCertificate();
    EXPECT_EQ(kept, 1u) << "the old certificate stays beside the new one";

    const Clock::time_point soon = Clock::now() + std::chrono::hours(24 * (5 * 365 - 10));
    const std::vector<std::string> late = start(soon);
    ASSERT_EQ(late.size(), 2u);
    EXPECT_EQ(late[1].rfind("warning: the server certificate expires in 1", 0), 0u) << late[1];
    const std::vector<std::string> over = start(soon + std::chrono::hours(24 * 20));
    EXPECT_EQ(over.back().rfind("warning: the server certificate expired on ", 0), 0u) << over.back();

    const certificates::ServerIdentity renamed { "plant2", "urn:plant2:Tavox:Server" };
    std::vector<std::string> lines;
    ASSERT_TRUE(certificates::prepareServerCertificates(m_state.path(), renamed, [&lines](const std::string& l) {
        lines.push_back(l);
    }).ok());
    EXPECT_EQ(lines.back(),
        "warning: the server certificate is made for \"urn:plant1:Tavox:Server\", not for "
        "\"urn:plant2:Tavox:Server\" (was the computer renamed?); clients may refuse it: "
        "tavox-admin certificates renew makes a new pair");
}

TEST_F(ServerCertificatesTest, CertificateWithoutItsKeyFailsTheStart)
{
    (void)start();
    const fs::path key = m_store.serverPrivateKey();
    fs::rename(key, m_state / "elsewhere.pem");
    EXPECT_EQ(start().back(),
        "failed: the server certificate " + m_store.serverCertificate().string() + " has no private key " + key.string()
            + " beside it; tavox-admin certificates renew makes a new pair");
    fs::copy_file(m_state / "elsewhere.pem", key);
    (void)support::writeFileAtomically(m_store.serverCertificate(),
        *support::readWholeFile(std::string(TAVOX_TEST_DATA_DIR) + "/certificates/client.pem"));
    EXPECT_EQ(start().back(),
        "failed: the server certificate " + m_store.serverCertificate().string()
            + " is not the certificate of the private key " + key.string()
            + "; tavox-admin certificates renew makes a new pair");
}

TEST(StoreLayoutTest, StateFolderComesFromSystemdOrTheMachineStore)
{
    EXPECT_EQ(certificates::stateFolder("/var/lib/tavox:/var/lib/other", "/x/registry.db"), "/var/lib/tavox");
    EXPECT_EQ(certificates::stateFolder("", "/sandbox/registry.db"), "/sandbox");
    EXPECT_EQ(certificates::stateFolder(nullptr, "/sandbox/registry.db"), "/sandbox");
    EXPECT_EQ(certificates::applicationUri("plant1"), "urn:plant1:Tavox:Server");
}

} // namespace
