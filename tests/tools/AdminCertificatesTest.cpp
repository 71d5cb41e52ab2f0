#include "AdminHarness.h"

#include "certificates/OwnCertificate.h"
#include "certificates/StoreLayout.h"
#include "testing/TempStores.h"
#include "testing/TestCertificates.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <filesystem>

using namespace admin;

namespace {

namespace fs = std::filesystem;

// As an administrator meets it: no store before the first start, then a refused client trusted
// by the start of its thumbprint, rejected again, removed, and the server's certificate renewed.
TEST(AdminCertificatesTest, ListTrustRejectRemoveAndRenew)
{
    TempDir dir;
    TempStores stores(dir);
    AdminHarness admin(stores.stores());
    EXPECT_EQ(admin.run({ "certificates", "list" }).out,
        "No certificate store yet at " + (dir / "pki").string()
            + ": the Tavox Server makes it, with its own certificate, at its first start.\n");
    EXPECT_EQ(admin.run({ "certificates", "renew" }).code, kExitFailure);

    const certificates::StoreLayout store = certificates::StoreLayout::applications(dir.path());
    ASSERT_TRUE(certificates::prepareServerCertificates(
        dir.path(), { "plant1", "urn:plant1:Tavox:Server" }, [](const std::string&) {
        }).ok());
    const platform::CertificateInfo client = writeClientCertificate(store.rejected() / "line3.pem", "line3");
    writeClientCertificate(store.rejected() / "line4.pem", "line4");

    const AdminOutcome listed = admin.run({ "certificates", "list", "--json" });
    ASSERT_EQ(listed.code, kExitSuccess) << listed.err;
    const auto document = nlohmann::json::parse(listed.out);
    ASSERT_EQ(document["own"].size(), 1u);
    EXPECT_EQ(document["own"][0]["applicationUri"], "urn:plant1:Tavox:Server");
    EXPECT_EQ(document["own"][0]["inUse"], true);
    EXPECT_EQ(document["own"][0]["expiry"].get<std::string>().rfind("expires in 182", 0), 0u);
    ASSERT_EQ(document["rejected"].size(), 2u);
    EXPECT_EQ(document["rejected"][0]["thumbprint"], client.thumbprint);
    EXPECT_EQ(document["rejected"][0]["subject"], "CN=line3, O=Tests, DC=line3");
    EXPECT_EQ(document["rejected"][0]["expired"], false);
    EXPECT_TRUE(document["trusted"].empty());
    EXPECT_NE(admin.run({ "certificates", "list" }).out.find("    Thumbprint:       " + client.thumbprint + "\n"),
        std::string::npos);

    const std::string prefix = client.thumbprint.substr(0, 8);
    const AdminOutcome trusted = admin.run({ "certificates", "trust", prefix });
    EXPECT_EQ(trusted.code, kExitSuccess) << trusted.err;
    EXPECT_EQ(trusted.out,
        "Trusted the certificate of \"line3\" (thumbprint " + client.thumbprint + "): the client may connect.\n");
    EXPECT_TRUE(fs::exists(store.trustedCerts() / "line3.pem"));
    EXPECT_EQ(admin.run({ "certificates", "trust", prefix }).out, "The certificate of \"line3\" is already trusted.\n");
    EXPECT_EQ(admin.run({ "certificates", "reject", client.thumbprint }).code, kExitSuccess);
    EXPECT_TRUE(fs::exists(store.rejected() / "line3.pem"));
    EXPECT_EQ(admin.run({ "certificates", "remove", prefix }).code, kExitSuccess);
    EXPECT_FALSE(fs::exists(store.rejected() / "line3.pem"));

    const AdminOutcome gone = admin.run({ "certificates", "trust", prefix });
    EXPECT_EQ(gone.code, kExitFailure);
    EXPECT_EQ(gone.err,
        "ERROR: No certificate in own, trusted or rejected has a thumbprint that starts with " + prefix + ".\n");
    const AdminOutcome shortPrefix = admin.run({ "certificates", "trust", "abc" });
    EXPECT_EQ(shortPrefix.code, kExitUsage);
    EXPECT_EQ(shortPrefix.err,
        "ERROR: Invalid syntax: a thumbprint needs at least 8 hexadecimal digits to be found; "
        "\"abc\" has 3; run \"tavox-admin certificates --help\".\n");

    const std::string before = document["own"][0]["thumbprint"];
    const AdminOutcome renewed = admin.run({ "certificates", "renew" });
    EXPECT_EQ(renewed.code, kExitSuccess) << renewed.err;
    EXPECT_NE(renewed.out.find("It takes effect at the next start of the Tavox Server.\n"
                               "Restart the service to apply: tavox-admin service restart\n"),
        std::string::npos)
        << renewed.out;
    const auto after = nlohmann::json::parse(admin.run({ "certificates", "list", "--json" }).out);
    ASSERT_EQ(after["own"].size(), 2u);
    for (const auto& own : after["own"])
        EXPECT_EQ(own["inUse"], own["thumbprint"] != before) << own["file"];
}

} // namespace
