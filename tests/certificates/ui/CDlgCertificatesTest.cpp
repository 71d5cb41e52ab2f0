#include "certificates/ui/CDlgCertificates.h"

#include "certificates/StoreRepair.h"
#include "pages/CPgEndpoints.h"
#include "testing/ScriptedMessageBoxes.h"
#include "testing/ServerKeyStore.h"
#include "testing/TestCertificates.h"
#include "testing/UiWidgetFinders.h"

#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using certificates::Folder;
using finders::button;

// From the Endpoints page, as an administrator does it: a refused client trusted after the
// question, a removal declined, and the server's certificate renewed.
TEST(CDlgCertificatesTest, TrustsARefusedClientFromTheEndpointsPage)
{
    ServerKeyStore server;
    const auto store = certificates::StoreLayout::applications(server.path().parent_path());
    ASSERT_TRUE(certificates::prepareStore(store, [](const std::string&) {}).ok());
    const platform::CertificateInfo client = writeClientCertificate(store.rejected() / "line3.pem", "line3");
    ScriptedMessageBoxes boxes;
    CPgEndpoints page(boxes, server.machineStore());
    page.ensureInitialized();
    page.show();

    finders::onNextDialog<CDlgCertificates>([&](CDlgCertificates& dialog) {
        QTreeWidget* rejected = dialog.list(Folder::Rejected);
        ASSERT_EQ(rejected->topLevelItemCount(), 1);
        EXPECT_EQ(rejected->topLevelItem(0)->text(0), "CN=line3, O=Tests, DC=line3");
        EXPECT_EQ(rejected->topLevelItem(0)->text(2), QString::fromStdString(client.thumbprint));
        EXPECT_FALSE(button(&dialog, "Trust")->isEnabled()) << "nothing chosen";
        rejected->setCurrentItem(rejected->topLevelItem(0));
        EXPECT_FALSE(button(&dialog, "Reject")->isEnabled());

        boxes.queueAnswer(MbResult::Yes);
        QTest::mouseClick(button(&dialog, "Trust"), Qt::LeftButton);
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].caption, "Question");
        EXPECT_TRUE(boxes.shown()[0].text.startsWith("Trust the certificate of \"line3\"?\n"));
        EXPECT_EQ(rejected->topLevelItemCount(), 0);
        QTreeWidget* trusted = dialog.list(Folder::Trusted);
        ASSERT_EQ(trusted->topLevelItemCount(), 1);
        EXPECT_TRUE(std::filesystem::exists(store.trustedCerts() / "line3.pem"));

        trusted->setCurrentItem(trusted->topLevelItem(0));
        boxes.queueAnswer(MbResult::No);
        QTest::mouseClick(button(&dialog, "Remove"), Qt::LeftButton);
        EXPECT_EQ(trusted->topLevelItemCount(), 1) << "declined";

        boxes.queueAnswer(MbResult::Yes);
        boxes.queueAnswer(MbResult::Ok);
        QTest::mouseClick(button(&dialog, "Renew"), Qt::LeftButton);
        EXPECT_EQ(boxes.shown().back().caption, "Information");
        EXPECT_EQ(dialog.list(Folder::Own)->topLevelItemCount(), 1);
        EXPECT_TRUE(dialog.list(Folder::Own)->topLevelItem(0)->text(3).endsWith("; in use"));
        QTest::mouseClick(button(&dialog, "Close"), Qt::LeftButton);
    });
    QTest::mouseClick(button(&page, "Certificates..."), Qt::LeftButton);
    EXPECT_TRUE(boxes.allAnswersUsed());
}

} // namespace
