#include "uabase/UaStatus.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(UaStatusTest, NamesAndGoodness)
{
    const struct {
        std::uint32_t code;
        const char* name;
        bool good;
    } cases[] = {
        {0x00000000, "Good", true},
        {0x3FFFFFFF, "0x3FFFFFFF", true},
        {0x40000000, "Uncertain", false},
        {0x80000000, "Bad", false},
        {0x80030000, "BadOutOfMemory", false},
        {0x803C0000, "BadOutOfRange", false},
        {0x80400000, "BadNotImplemented", false},
        {0x805E0000, "BadNodeIdExists", false},
        {0x80740000, "BadTypeMismatch", false},
        {0x80AB0000, "BadInvalidArgument", false},
        {0xC0000000, "0xC0000000", false},
    };
    for (const auto& c : cases) {
        const UaStatus status(c.code);
        EXPECT_EQ(status.toString(), c.name) << c.name;
        EXPECT_EQ(status.isGood(), c.good) << c.name;
        EXPECT_EQ(status.isNotGood(), !c.good) << c.name;
    }
}

} // namespace
