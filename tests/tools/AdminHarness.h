#pragma once

#include "tavox-admin/AdminTool.h"
#include "tavox-admin/PasswordInput.h"

#include "platform/InMemoryServiceManager.h"
#include "platform/SettingsStore.h"
#include "platform/Sleeper.h"

#include <deque>
#include <sstream>
#include <string>
#include <vector>

/// Passwords as a test scripts them: lines of "standard input", typed or piped.
class ScriptedPasswords final : public admin::PasswordInput {
public:
    bool isTerminal() const override { return terminal; }
    std::optional<std::string> readHidden(std::string_view prompt) override
    {
        prompts.emplace_back(prompt);
        return readLine();
    }
    std::optional<std::string> readLine() override
    {
        if (lines.empty())
            return std::nullopt;
        std::string line = lines.front();
        lines.pop_front();
        return line;
    }

    bool terminal = true;
    std::deque<std::string> lines;
    std::vector<std::string> prompts;
};

class CountingSleeper final : public platform::Sleeper {
public:
    void sleepMs(unsigned milliseconds) override { pauses.push_back(milliseconds); }
    std::vector<unsigned> pauses;
};

struct AdminOutcome {
    int code;
    std::string out;
    std::string err;
};

/// tavox-admin in-process on `stores`, with a service manager held in memory (the service
/// "Tavox Server" is added by the test), pauses that do not wait, and scripted passwords.
class AdminHarness {
public:
    explicit AdminHarness(const platform::SettingsStores& stores)
        : m_stores(stores)
    {
    }

    /// Runs one command line; `input` is what standard input (or the terminal) gives.
    AdminOutcome run(std::vector<std::string> args, std::deque<std::string> input = {})
    {
        passwords.lines = std::move(input);
        std::ostringstream out, err;
        const int code = admin::runAdmin(args, { out, err }, { m_stores, services, sleeper, passwords });
        return { code, out.str(), err.str() };
    }

    platform::InMemoryServiceManager services;
    CountingSleeper sleeper;
    ScriptedPasswords passwords;

private:
    const platform::SettingsStores& m_stores;
};
