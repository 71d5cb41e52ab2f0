#include "support/DebugOutput.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(DebugOutputTest, LinesOfManyThreadsArriveWholeAndAllOfThem)
{
    constexpr int kThreads = 8;
    constexpr int kLines = 500;
    std::string captured;
    {
        support::ScopedDebugCapture capture;
        std::vector<std::thread> writers;
        for (int t = 0; t < kThreads; ++t) {
            writers.emplace_back([t] {
                for (int i = 0; i < kLines; ++i)
                    support::debugOutput("writer " + std::to_string(t) + " line " + std::to_string(i));
            });
        }
        for (std::thread& writer : writers)
            writer.join();
        captured = capture.text();
    }
    std::map<int, int> next;
    std::istringstream lines(captured);
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        int writer = -1;
        int number = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "writer %d line %d", &writer, &number), 2) << line;
        EXPECT_EQ(number, next[writer]++) << "one writer's lines come in its order";
    }
    EXPECT_EQ(count, kThreads * kLines);
}

TEST(DebugOutputTest, ACaptureGivesBackTheSinkItReplaced)
{
    std::vector<std::string> outer;
    support::setDebugSink([&outer](std::string_view line) { outer.emplace_back(line); });
    {
        support::ScopedDebugCapture capture;
        support::debugOutput("inner");
        EXPECT_TRUE(capture.contains("inner"));
    }
    support::debugOutput("outer");
    support::setDebugSink({});
    EXPECT_EQ(outer, std::vector<std::string> { "outer" });
}

} // namespace
