#include "config/AuthenticationFlags.h"

#include <gtest/gtest.h>

namespace {

TEST(AuthenticationFlagsTest, LogonChoicesChangeOnlyTheirBits)
{
    const struct {
        std::uint32_t stored;
        LogonChoices choices;
        std::uint32_t written;
    } cases[] = {
        {0x02, {true, true, true}, 0x0F},
        {0xFF, {false, false, false}, 0xF2},
        {0x32, {true, false, true}, 0x3B},
        {0x100, {false, true, false}, 0x104},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.choices.appliedTo(c.stored), c.written) << std::hex << c.stored;
        const LogonChoices back = LogonChoices::from(c.written);
        EXPECT_EQ(back.windowsLogon, c.choices.windowsLogon);
        EXPECT_EQ(back.certificate, c.choices.certificate);
        EXPECT_EQ(back.anonymous, c.choices.anonymous);
    }
}

} // namespace
