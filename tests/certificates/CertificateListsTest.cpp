#include "certificates/CertificateLists.h"
#include "certificates/RejectedWatch.h"
#include "certificates/StoreRepair.h"

#include "testing/TempDir.h"
#include "testing/TestCertificates.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace {

namespace fs = std::filesystem;
using certificates::CertificateAction;
using certificates::Folder;
using certificates::Validity;
using Clock = std::chrono::system_clock;
using Days = std::chrono::duration<int, std::ratio<86400>>;

class CertificateListsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(certificates::prepareStore(m_layout, [](const std::string&) {}).ok());
        m_fresh = writeClientCertificate(m_layout.rejected() / "fresh.pem", "fresh");
        m_soon = writeClientCertificate(m_layout.trustedCerts() / "soon.pem",
            "soon",
            Clock::now() - Days(300),
            Clock::now() + Days(12) + std::chrono::hours(1));
        m_old = writeClientCertificate(
            m_layout.trustedCerts() / "old.pem", "old", Clock::now() - Days(400), Clock::now() - Days(2));
        ASSERT_TRUE(support::writeFileAtomically(m_layout.rejected() / "junk.pem", "no certificate").ok());
    }

    TempDir m_state;
    certificates::StoreLayout m_layout = certificates::StoreLayout::applications(m_state.path());
    certificates::CertificateLists m_lists { m_layout, { "plant1", "urn:plant1:Tavox:Server" } };
    platform::CertificateInfo m_fresh, m_soon, m_old;
};

TEST_F(CertificateListsTest, ListsMarkTheirCertificatesAndOfferWhatSuitsThem)
{
    m_lists.reload();
    ASSERT_TRUE(m_lists.storeExists());
    EXPECT_TRUE(m_lists.rows(Folder::Own).empty());
    const auto& trusted = m_lists.rows(Folder::Trusted);
    ASSERT_EQ(trusted.size(), 2u);
    EXPECT_EQ(trusted[0].subject, "CN=old, O=Tests, DC=old");
    EXPECT_EQ(trusted[0].applicationUri, "urn:old:client");
    EXPECT_EQ(trusted[0].thumbprint, m_old.thumbprint);
    EXPECT_EQ(trusted[0].expiry, "expired");
    EXPECT_EQ(trusted[0].validity, Validity::Expired);
    EXPECT_EQ(trusted[1].expiry, "expires in 12 days");
    EXPECT_EQ(trusted[1].validity, Validity::ExpiresSoon);
    const auto& rejected = m_lists.rows(Folder::Rejected);
    ASSERT_EQ(rejected.size(), 2u);
    EXPECT_EQ(rejected[0].validity, Validity::Valid);
    EXPECT_EQ(rejected[0].expiry.rfind("expires in 36", 0), 0u) << rejected[0].expiry;
    EXPECT_FALSE(rejected[1].readable);
    EXPECT_EQ(rejected[1].subject, "junk.pem");

    const struct {
        CertificateAction action;
        Folder folder;
        int row;
        bool suits;
    } cases[] = {
        { CertificateAction::Trust, Folder::Rejected, 0, true },
        { CertificateAction::Trust, Folder::Rejected, 1, false },
        { CertificateAction::Trust, Folder::Trusted, 0, false },
        { CertificateAction::Reject, Folder::Trusted, 1, true },
        { CertificateAction::Reject, Folder::Rejected, 0, false },
        { CertificateAction::Remove, Folder::Rejected, 1, true },
        { CertificateAction::Remove, Folder::Trusted, -1, false },
        { CertificateAction::Remove, Folder::Rejected, 2, false },
        { CertificateAction::Renew, Folder::Own, -1, true },
    };
    for (const auto& c : cases)
        EXPECT_EQ(m_lists.canRun(c.action, c.folder, c.row), c.suits)
            << static_cast<int>(c.action) << " on " << static_cast<int>(c.folder) << " row " << c.row;
    EXPECT_EQ(m_lists.question(CertificateAction::Reject, Folder::Trusted, 1),
        "Reject the certificate of \"soon\"?\nThe client can no longer connect.");
}

TEST_F(CertificateListsTest, ActionsMoveRemoveAndRenew)
{
    m_lists.reload();
    EXPECT_EQ(*m_lists.run(CertificateAction::Trust, Folder::Rejected, 0), "");
    EXPECT_TRUE(fs::exists(m_layout.trustedCerts() / "fresh.pem"));
    ASSERT_EQ(m_lists.rows(Folder::Trusted).size(), 3u);
    EXPECT_EQ(m_lists.rows(Folder::Trusted)[0].thumbprint, m_fresh.thumbprint);
    EXPECT_TRUE(m_lists.run(CertificateAction::Reject, Folder::Trusted, 0).ok());
    EXPECT_TRUE(fs::exists(m_layout.rejected() / "fresh.pem"));
    EXPECT_TRUE(m_lists.run(CertificateAction::Remove, Folder::Rejected, 1).ok()) << "the junk";
    EXPECT_EQ(m_lists.rows(Folder::Rejected).size(), 1u);

    const auto renewed = m_lists.run(CertificateAction::Renew, Folder::Own, -1);
    ASSERT_TRUE(renewed.ok()) << renewed.error().message;
    EXPECT_EQ(renewed->rfind("The Tavox Server has a new certificate, thumbprint ", 0), 0u) << *renewed;
    EXPECT_NE(renewed->find("\nIt takes effect at the next restart of the Tavox Server."), std::string::npos);
    ASSERT_EQ(m_lists.rows(Folder::Own).size(), 1u);
    EXPECT_TRUE(m_lists.rows(Folder::Own)[0].inUse);
    EXPECT_EQ(m_lists.rows(Folder::Own)[0].applicationUri, "urn:plant1:Tavox:Server");
    ASSERT_TRUE(m_lists.run(CertificateAction::Renew, Folder::Own, -1).ok());
    EXPECT_EQ(m_lists.rows(Folder::Own).size(), 2u) << "the old certificate is kept";
}

TEST_F(CertificateListsTest, ThumbprintPrefixesFindOneCertificateOrSayWhyNot)
{
    const certificates::CertificateStore store(m_layout);
    const auto found = store.find(m_fresh.thumbprint.substr(0, 8));
    ASSERT_TRUE(found.ok()) << found.error().message;
    EXPECT_EQ(found->thumbprint, m_fresh.thumbprint);
    std::string upper = m_soon.thumbprint.substr(0, 10);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(store.find(upper)->thumbprint, m_soon.thumbprint);

    // A copy of one certificate in both lists is one certificate, not two.
    fs::copy_file(m_layout.rejected() / "fresh.pem", m_layout.trustedCerts() / "fresh-copy.pem");
    EXPECT_EQ(store.find(m_fresh.thumbprint)->copies.size(), 2u);
    EXPECT_EQ(*store.trust(*store.find(m_fresh.thumbprint)), certificates::TrustChange::Done);
    EXPECT_FALSE(fs::exists(m_layout.rejected() / "fresh.pem")) << "the rejected copy would win over the trusted";

    EXPECT_EQ(store.find("abc").error().message,
        "a thumbprint needs at least 8 hexadecimal digits to be found; \"abc\" has 3");
    EXPECT_EQ(
        store.find("12345678z").error().message, "\"12345678z\" is not a thumbprint: give its hexadecimal digits");
    const auto missing = store.find("0000000000");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().kind, support::ErrorKind::NotFound);
}

TEST(RejectedWatchTest, AnnouncesEachNewlyRefusedClientOnce)
{
    TempDir state;
    const auto layout = certificates::StoreLayout::applications(state.path());
    ASSERT_TRUE(certificates::prepareStore(layout, [](const std::string&) {}).ok());
    writeClientCertificate(layout.rejected() / "before.pem", "before");
    writeClientCertificate(layout.trustedCerts() / "trusted.pem", "trusted");
    certificates::RejectedWatch watch(layout);
    EXPECT_TRUE(watch.look().empty()) << "what was there at the start is no news";

    writeClientCertificate(layout.rejected() / "line3.pem", "line3");
    fs::rename(layout.trustedCerts() / "trusted.pem", layout.rejected() / "trusted.pem");
    const auto news = watch.look();
    ASSERT_EQ(news.size(), 1u) << "a certificate moved from trusted is no news";
    EXPECT_EQ(certificates::RejectedWatch::balloonText(news),
        "The Tavox Server refused the client \"line3\" (urn:line3:client): its certificate is not trusted. Trust it "
        "under Endpoints, Certificates...");
    EXPECT_TRUE(watch.look().empty());

    fs::rename(layout.rejected() / "line3.pem", state / "away.pem");
    EXPECT_TRUE(watch.look().empty());
    fs::rename(state / "away.pem", layout.rejected() / "line3.pem");
    EXPECT_EQ(watch.look().size(), 1u) << "removed, then refused again";
}

} // namespace
