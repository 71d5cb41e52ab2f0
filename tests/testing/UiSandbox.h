#pragma once

#include "app/SheetDelays.h"
#include "config/ServerKey.h"
#include "config/UserProfile.h"
#include "platform/InMemoryServiceManager.h"
#include "platform/Registry.h"
#include "platform/Sleeper.h"
#include "support/TextCodec.h"
#include "testing/ScriptedFileDialogs.h"
#include "testing/ScriptedMessageBoxes.h"
#include "testing/TempStores.h"
#include "users/LoginDigest.h"

#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

/// Shows a QString as text in test failures.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

/// Records the pauses instead of waiting.
class RecordingSleeper final : public platform::Sleeper {
public:
    void sleepMs(unsigned milliseconds) override { pauses.push_back(milliseconds); }
    std::vector<unsigned> pauses;
};

/// What a user-interface test of the shell runs against: its own stores (with the server
/// key created; hand over stores.stores()), a service directory with a node configuration file
/// whose settings block holds the history section, a service manager holding "Tavox Server",
/// scripted message boxes and file dialogs, a sleeper that does not wait and short sheet delays.
struct UiSandbox {
    static constexpr const char* kService = "Tavox Server";
    static constexpr const char16_t* kPassword = u"tavox-demo";
    static constexpr const char* kNodeConfig
        = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
          "<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\">\r\n"
          "  <NamespaceUris><Uri>urn:tavox:sandbox</Uri></NamespaceUris>\r\n"
          "  <UAVariable NodeId=\"ns=1;i=1001\" BrowseName=\"1:Temperature\" DataType=\"Double\"/>\r\n"
          "</UANodeSet>\r\n"
          "<!--\r\n"
          "[AlarmSourceNodes]\r\n"
          "[HistorizedtoODBCSQL]\r\n"
          "StartLogging=false\r\n"
          "-->";
    /// Rounds of the login digests the tests store: enough to be the real form, few to be quick.
    static constexpr std::uint32_t kDigestIterations = 1000;

    UiSandbox()
    {
        EXPECT_EQ(stores.machineStore().createKey(ServerKey::kPath), platform::RegStatus::Success);
        EXPECT_TRUE(writeLoginDigest(
            UserProfile::utility(stores.userStore()), makeSaltedLoginDigest(kPassword, kDigestIterations)));
        services.addService(kService, platform::kServiceStopped);
        std::filesystem::create_directory(serviceDir);
        std::ofstream(nodeConfig(), std::ios::binary) << kNodeConfig;
        setString(ServerKey::kServicePath, support::utf8ToUtf16(serviceDir.string() + "/"));
    }

    std::filesystem::path nodeConfig() const { return serviceDir / "NodeConfig.xml"; }

    void setString(std::string_view name, std::u16string_view text)
    {
        platform::RegistryKey key;
        ASSERT_EQ(stores.machineStore().open(key, ServerKey::kPath, platform::RegAccess::Write),
            platform::RegStatus::Success);
        const auto bytes = platform::regSzBytes(text);
        ASSERT_EQ(key.setValue(name, platform::kRegSz, bytes.data(), static_cast<std::uint32_t>(bytes.size())),
            platform::RegStatus::Success);
    }

    void setDword(std::string_view name, std::uint32_t value)
    {
        platform::RegistryKey key;
        ASSERT_EQ(stores.machineStore().open(key, ServerKey::kPath, platform::RegAccess::Write),
            platform::RegStatus::Success);
        const auto bytes = platform::regDwordBytes(value);
        ASSERT_EQ(key.setValue(name, platform::kRegDword, bytes.data(), 4), platform::RegStatus::Success);
    }

    TempDir dir;
    TempStores stores { dir };
    std::filesystem::path serviceDir = dir / "srv";
    platform::InMemoryServiceManager services;
    RecordingSleeper sleeper;
    SheetDelays delays { 50, 75, 25 };
    ScriptedMessageBoxes boxes;
    ScriptedFileDialogs fileDialogs;
};

/// The visible top-level widget of a type whose title is `title`, or null.
template <typename T> T* findTopLevel(const QString& title)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* typed = qobject_cast<T*>(widget);
        if (typed && typed->isVisible() && typed->windowTitle() == title)
            return typed;
    }
    return nullptr;
}

/// The button of a widget with exactly this caption, or null.
template <typename Button> Button* findButton(const QWidget* parent, const QString& caption)
{
    for (Button* button : parent->findChildren<Button*>()) {
        if (button->text() == caption)
            return button;
    }
    return nullptr;
}
