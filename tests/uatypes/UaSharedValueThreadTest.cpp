#include "uatypes/UaNodeId.h"

#include "uatypes/UaByteString.h"
#include "uatypes/UaExtensionObject.h"
#include "uatypes/UaString.h"
#include "uatypes/UaVariant.h"
#include "uatypes/UaWideString.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

/// A moved value goes over whole; the moved-from one is a new, usable value, and other copies
/// of the moved representation keep it.
template <class T> void expectMoveTakesTheValueOver(const T& value)
{
    T source = value;
    T taken = std::move(source);
    EXPECT_TRUE(taken == value);
    EXPECT_TRUE(source == T()); // NOLINT: the moved-from value is used on purpose
    source = taken;
    T assigned;
    assigned = std::move(taken);
    EXPECT_TRUE(assigned == value);
    EXPECT_TRUE(source == value);
}

TEST(UaSharedValueThreadTest, MovesTakeTheValueOverAndLeaveANewValue)
{
    expectMoveTakesTheValueOver(UaString("Line1"));
    expectMoveTakesTheValueOver(UaWideString(UaString("Line1")));
    expectMoveTakesTheValueOver(UaByteString(std::string("\x01\x02", 2)));
    UaVariant number;
    number.setInt32(7);
    expectMoveTakesTheValueOver(number);
    expectMoveTakesTheValueOver(UaExtensionObject(UaNodeId(296, 0)));
    // The empty values are shared by all and never freed, however often they are dropped.
    for (int i = 0; i < 3; ++i) {
        UaString empty;
        UaString other = std::move(empty);
        EXPECT_TRUE(other.isEmpty());
    }
    EXPECT_EQ(UaString().view(), "");
}

// Copies of one value share one representation; taking and dropping references from several
// threads at once must neither free it early nor leak it (the sanitizer build checks both).
TEST(UaSharedValueThreadTest, CopiesOfOneValueAreUsedFromSeveralThreads)
{
    const UaNodeId id(UaString("Line1.Temperature"), 2);
    UaVariant value;
    value.setStringArray({ UaString("a"), UaString("b"), UaString("c") });
    const UaString text("shared text");

    constexpr int kThreads = 8;
    constexpr int kRounds = 20000;
    std::atomic<int> mismatches { 0 };
    std::atomic<bool> go { false };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            while (!go.load())
                std::this_thread::yield();
            for (int i = 0; i < kRounds; ++i) {
                UaNodeId copy = id;
                UaVariant valueCopy = value;
                UaString textCopy = text;
                UaNodeId other = copy;
                copy = UaNodeId::fromXmlString(copy.toString());
                if (!(copy == other) || valueCopy.arrayLength() != 3 || textCopy.length() != 11)
                    mismatches.fetch_add(1);
                other = UaNodeId();
                valueCopy = UaVariant();
            }
        });
    }
    go.store(true);
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(id.toString(), UaString("ns=2;s=Line1.Temperature"));
    EXPECT_EQ(value.element(2).toString(), UaString("c"));
}

} // namespace
