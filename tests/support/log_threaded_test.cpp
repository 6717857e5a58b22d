#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/ids.h"
#include "support/log.h"
#include "tests/support/log_fixture.h"

namespace {

using testing_support::LogTest;
using testing_support::readWholeFile;

TEST_F(LogTest, LinesFromTwoThreadsNeverInterleaveAndStandInTimeOrder) {
    constexpr int kLines = 300;
    // Long messages make a torn write likely if the lock did not cover it.
    auto writer = [](char letter) {
        for (int i = 0; i < kLines; ++i)
            support::log(std::string(700, letter) + "#" + std::to_string(i), std::string("Thread::") + letter);
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    a.join();
    b.join();

    const std::string content = readWholeFile(logFile());
    // The message is the writer's own letter throughout (\2), then its count.
    const std::regex line(R"((\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3})  Thread::([ab]) \| \2{700}#(\d+))");
    int next[2] = {0, 0};
    std::string previousStamp;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "last line without CR LF";
        const std::string text = content.substr(start, end - start);
        std::smatch m;
        ASSERT_TRUE(std::regex_match(text, m, line)) << "torn line: " << text.substr(0, 120);
        ASSERT_EQ(std::stoi(m[3].str()), next[m[2].str() == "a" ? 0 : 1]++) << "line lost or reordered";
        ASSERT_LE(previousStamp, m[1].str()) << "time stamps out of order";
        previousStamp = m[1].str();
        start = end + 2;
    }
    EXPECT_TRUE(next[0] == kLines && next[1] == kLines) << next[0] << " " << next[1];
}

// Concurrent callers share the generator: no identifier may repeat, and
// every random digit must still cover its whole range (a digit drawn from
// too few bits or a fixed variant would miss values).
TEST(GenerateUuidThreaded, ConcurrentCallersGetDistinctVersion4IdentifiersOverTheWholeRange) {
    constexpr int kPerThread = 2000;
    std::vector<std::string> results[4];
    std::vector<std::thread> threads;
    for (auto& out : results)
        threads.emplace_back([&out] {
            for (int i = 0; i < kPerThread; ++i) out.push_back(support::generateUuid());
        });
    for (auto& t : threads) t.join();
    std::set<std::string> all;
    std::set<char> perPosition[32];
    for (const auto& out : results) {
        for (const std::string& id : out) {
            ASSERT_EQ(id.size(), 32u) << id;
            ASSERT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos) << id;
            ASSERT_EQ(id[12], '4') << id;
            for (int p = 0; p < 32; ++p) perPosition[p].insert(id[p]);
            all.insert(id);
        }
    }
    EXPECT_EQ(all.size(), 4u * kPerThread);
    EXPECT_EQ(perPosition[16], (std::set<char>{'8', '9', 'a', 'b'}));
    for (int p = 0; p < 32; ++p) {
        if (p != 12 && p != 16) {
            EXPECT_EQ(perPosition[p].size(), 16u) << "position " << p;
        }
    }
}

}  // namespace
