#include "uatypes/UaStatus.h"

#include <gtest/gtest.h>

namespace {

TEST(UaStatusTest, GoodOnlyBelowTheUncertainBit)
{
    EXPECT_TRUE(UaStatus(0x3FFFFFFF).isGood());
    EXPECT_FALSE(UaStatus(UaStatus::Uncertain).isGood());
    EXPECT_FALSE(UaStatus(UaStatus::BadNodeIdExists).isGood());
    EXPECT_EQ(UaStatus(UaStatus::BadTypeMismatch).toString(), "BadTypeMismatch");
    EXPECT_EQ(UaStatus(0xC0000000).toString(), "0xC0000000");
}

} // namespace
