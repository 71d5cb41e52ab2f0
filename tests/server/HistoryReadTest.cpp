#include "HistoryRead.h"
#include "HistorySpool.h"

#include "testing/TempDir.h"

#include <gtest/gtest.h>

using namespace tavoxserver;

namespace {

TEST(HistoryReadTest, PlansFollowTheTimeDomainOfRawReads)
{
    struct Case {
        std::optional<std::int64_t> start, end;
        std::uint32_t maxValues;
        std::optional<std::string> continuation;
        HistoryReadStatus refusal;
        bool forward;
        std::optional<std::int64_t> first, last;
        bool lastIncluded;
        std::size_t limit;
    };
    using S = HistoryReadStatus;
    const Case cases[] = {
        { 10, 20, 0, {}, S::Good, true, 10, 20, false, 101 },
        { 10, 10, 0, {}, S::Good, true, 10, 10, true, 101 },
        { 20, 10, 5, {}, S::Good, false, 20, 10, false, 6 },
        { 10, {}, 5, {}, S::Good, true, 10, {}, false, 6 },
        { {}, 20, 5, {}, S::Good, false, 20, {}, false, 6 },
        { 10, 20, 500, {}, S::Good, true, 10, 20, false, 101 },
        { 10, {}, 0, {}, S::BadHistoryOperationInvalid, true, {}, {}, false, 0 },
        { {}, {}, 5, {}, S::BadHistoryOperationInvalid, true, {}, {}, false, 0 },
        { 10, 20, 0, "15:1:2", S::Good, true, 10, 20, false, 101 },
        { 10, 20, 0, "25:1:2", S::BadContinuationPointInvalid, true, {}, {}, false, 0 },
        { 10, 20, 0, "15:1", S::BadContinuationPointInvalid, true, {}, {}, false, 0 },
        { 10, 20, 0, "15:1:2x", S::BadContinuationPointInvalid, true, {}, {}, false, 0 },
    };
    for (const Case& c : cases) {
        const HistoryReadRequest request { 1, "n", c.start, c.end, c.maxValues, c.continuation };
        const HistoryReadPlan plan = planHistoryRead(request, 100);
        const std::string name = std::to_string(c.start.value_or(-1)) + " " + std::to_string(c.end.value_or(-1)) + " "
            + std::to_string(c.maxValues) + " " + c.continuation.value_or("");
        ASSERT_EQ(plan.range.has_value(), c.refusal == S::Good) << name;
        EXPECT_EQ(plan.refusal, c.refusal) << name;
        if (!plan.range)
            continue;
        EXPECT_EQ(plan.range->forward, c.forward) << name;
        EXPECT_EQ(plan.range->first, c.first) << name;
        EXPECT_EQ(plan.range->last, c.last) << name;
        EXPECT_EQ(plan.range->lastIncluded, c.lastIncluded) << name;
        EXPECT_EQ(plan.range->limit, c.limit) << name;
    }
}

HistoryValue valueAt(std::int64_t time, const std::string& text) { return { "n", time, {}, 0, "String", text }; }

TEST(HistoryReadTest, SpoolAndTableMergeOnceEachAndPagesResumeWhereTheyStopped)
{
    TempDir dir;
    auto opened = HistorySpool::open(dir / "spool.db", 1000);
    ASSERT_TRUE(opened.ok()) << opened.error().message;
    HistorySpool& spool = **opened;
    const std::int64_t origin = spool.origin();
    ASSERT_TRUE(spool.append({ valueAt(1, "s1"), valueAt(3, "s3"), valueAt(3, "s3b"), valueAt(5, "s5") }).ok());
    // The table holds the first spooled value too (written, not yet removed) and values of two
    // other origins, one on each side of the spool's at time 3.
    const std::vector<KeptHistoryValue> stored = { { { 1, origin, 1 }, valueAt(1, "s1") },
        { { 2, origin - 1, 9 }, valueAt(2, "t2") },
        { { 3, origin - 1, 9 }, valueAt(3, "t3-") },
        { { 3, origin + 1, 1 }, valueAt(3, "t3+") },
        { { 6, origin + 1, 2 }, valueAt(6, "t6") } };
    const auto texts = [](const HistoryReadResult& result) {
        std::string out;
        for (const HistoryValue& v : result.values)
            out += *v.value + " ";
        return out;
    };
    const auto readPages = [&](HistoryReadRequest request) {
        std::string pages;
        for (;;) {
            const HistoryReadPlan plan = planHistoryRead(request, 100);
            if (!plan.range)
                return pages + "refused";
            std::vector<KeptHistoryValue> table;
            for (const KeptHistoryValue& kept : stored) {
                if (plan.range->holds(kept.key))
                    table.push_back(kept);
            }
            if (!plan.range->forward)
                std::reverse(table.begin(), table.end());
            if (table.size() > plan.range->limit)
                table.resize(plan.range->limit);
            const auto spooled = spool.read(*plan.range);
            if (!spooled.ok())
                return pages + spooled.error().message;
            const HistoryReadResult result = mergeHistoryRead(request, *plan.range, *spooled, table, true);
            pages += texts(result) + "| ";
            if (!result.continuation)
                return pages + std::string(historyReadStatusName(result.status));
            request.continuation = result.continuation;
        }
    };
    EXPECT_EQ(readPages({ 1, "n", 0 + 1, 7, 0, {} }), "s1 t2 t3- s3 s3b t3+ s5 t6 | Good");
    EXPECT_EQ(readPages({ 1, "n", 1, 7, 2, {} }), "s1 t2 | t3- s3 | s3b t3+ | s5 t6 | Good");
    EXPECT_EQ(readPages({ 1, "n", 6, 1, 3, {} }), "t6 s5 t3+ | s3b s3 t3- | t2 | Good");
    EXPECT_EQ(readPages({ 1, "n", 3, 3, 0, {} }), "t3- s3 s3b t3+ | Good");
    EXPECT_EQ(readPages({ 1, "n", {}, 3, 2, {} }), "t3+ s3b | s3 t3- | t2 s1 | Good");
    EXPECT_EQ(readPages({ 1, "n", 4, 5, 0, {} }), "| GoodNoData");

    const auto incomplete = mergeHistoryRead({}, *planHistoryRead({ 1, "n", 1, 7, 0, {} }).range, {}, {}, false);
    EXPECT_EQ(incomplete.status, HistoryReadStatus::GoodResultsMayBeIncomplete);
}

TEST(HistoryReadTest, TheSpoolDropsItsOldestWhenFullAndNeverNumbersTwice)
{
    TempDir dir;
    std::int64_t origin = 0;
    {
        auto spool = HistorySpool::open(dir / "spool.db", 1000);
        ASSERT_TRUE(spool.ok()) << spool.error().message;
        origin = (*spool)->origin();
        std::vector<HistoryValue> values;
        for (int i = 0; i < 1500; ++i)
            values.push_back(valueAt(i, std::to_string(i)));
        const auto appended = (*spool)->append(values);
        ASSERT_TRUE(appended.ok());
        EXPECT_EQ(appended->dropped, 500u) << "more than the spool holds: the newest stay";
        EXPECT_EQ(appended->lastSeq, 1000) << "the values skipped get no number";
        const auto more = (*spool)->append({ valueAt(2000, "2000"), valueAt(2001, "2001") });
        ASSERT_TRUE(more.ok());
        EXPECT_EQ(more->dropped, 2u);
        const auto oldest = (*spool)->oldest(2);
        ASSERT_TRUE(oldest.ok());
        ASSERT_EQ(oldest->size(), 2u);
        EXPECT_EQ((*oldest)[0].seq, 3);
        EXPECT_EQ((*oldest)[0].value, valueAt(502, "502"));
        ASSERT_TRUE((*spool)->removeThrough(1002).ok());
        EXPECT_EQ((*spool)->size(), 0u);
        EXPECT_EQ(HistorySpool::open(dir / "spool.db", 1000).error().kind, support::ErrorKind::InUse)
            << "one holder at a time";
    }
    auto reopened = HistorySpool::open(dir / "spool.db", 1000);
    ASSERT_TRUE(reopened.ok());
    EXPECT_EQ((*reopened)->origin(), origin);
    const auto next = (*reopened)->append({ valueAt(1, "1") });
    ASSERT_TRUE(next.ok());
    EXPECT_EQ(next->lastSeq, 1003) << "an emptied spool goes on numbering";
}

} // namespace
