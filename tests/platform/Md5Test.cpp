#include "platform/Md5.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string hex(const platform::Md5Digest& d)
{
    std::string s;
    char buf[3];
    for (auto b : d) {
        std::snprintf(buf, sizeof buf, "%02x", b);
        s += buf;
    }
    return s;
}

TEST(Md5Test, KnownDigests)
{
    const std::pair<std::string, std::string> cases[] = {
        { "", "d41d8cd98f00b204e9800998ecf8427e" },
        { "abc", "900150983cd24fb0d6963f7d28e17f72" },
        { "The quick brown fox jumps over the lazy dog", "9e107d9d372bb6826bd81d3542a419d6" },
    };
    for (const auto& [input, expected] : cases) {
        const auto digest = platform::md5(input.data(), input.size());
        ASSERT_TRUE(digest.ok());
        EXPECT_EQ(hex(*digest), expected) << input;
    }
}

} // namespace
