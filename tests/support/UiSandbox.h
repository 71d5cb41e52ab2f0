#pragma once

#include "config/ServerKey.h"
#include "config/UserProfile.h"
#include "platform/InMemoryServiceManager.h"
#include "platform/Registry.h"
#include "platform/Sleeper.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TempStores.h"
#include "users/LoginDigest.h"

#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <string_view>
#include <vector>

/// Shows a QString as text in test failures.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

/// Records the pauses instead of waiting.
class RecordingSleeper final : public platform::Sleeper {
public:
    void sleepMs(unsigned milliseconds) override { pauses.push_back(milliseconds); }
    std::vector<unsigned> pauses;
};

/// What a user-interface test of the shell runs against: its own stores (with the server
/// key created; hand over stores.stores()), a service manager holding "Tavox Server", scripted message boxes and a
/// sleeper that does not wait.
struct UiSandbox {
    static constexpr const char* kService = "Tavox Server";
    static constexpr const char16_t* kPassword = u"tavox-demo";

    UiSandbox()
    {
        EXPECT_EQ(platform::RegistryKey::createKey(stores.machine(), ServerKey::kPath), platform::RegStatus::Success);
        EXPECT_TRUE(WriteLoginDigest(UserProfile::utility(stores.userStore()), MakeLoginDigest(kPassword)));
        services.addService(kService, platform::kServiceStopped);
    }

    void setString(std::string_view name, std::u16string_view text)
    {
        platform::RegistryKey key;
        ASSERT_EQ(key.open(stores.machine(), ServerKey::kPath, platform::RegAccess::Write), platform::RegStatus::Success);
        const auto bytes = platform::regSzBytes(text);
        ASSERT_EQ(key.setValue(name, platform::kRegSz, bytes.data(), static_cast<std::uint32_t>(bytes.size())),
                  platform::RegStatus::Success);
    }

    void setDword(std::string_view name, std::uint32_t value)
    {
        platform::RegistryKey key;
        ASSERT_EQ(key.open(stores.machine(), ServerKey::kPath, platform::RegAccess::Write), platform::RegStatus::Success);
        const auto bytes = platform::regDwordBytes(value);
        ASSERT_EQ(key.setValue(name, platform::kRegDword, bytes.data(), 4), platform::RegStatus::Success);
    }

    TempDir dir;
    TempStores stores{dir};
    platform::InMemoryServiceManager services;
    RecordingSleeper sleeper;
    ScriptedMessageBoxes boxes;
};

/// The visible top-level widget of a type whose title is `title`, or null.
template <typename T>
T* findTopLevel(const QString& title)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* typed = qobject_cast<T*>(widget);
        if (typed && typed->isVisible() && typed->windowTitle() == title)
            return typed;
    }
    return nullptr;
}

/// The button of a widget with exactly this caption, or null.
template <typename Button>
Button* findButton(const QWidget* parent, const QString& caption)
{
    for (Button* button : parent->findChildren<Button*>()) {
        if (button->text() == caption)
            return button;
    }
    return nullptr;
}
