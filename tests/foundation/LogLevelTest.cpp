#include <gtest/gtest.h>

#include <string>

#include "foundation/LogLevel.h"

namespace {

struct LevelTexts {
    int value;
    std::wstring tag;
    std::wstring name;
};

void PrintTo(const LevelTexts& c, std::ostream* os) {
    *os << "level " << c.value;
}

class LogLevelTexts : public testing::TestWithParam<LevelTexts> {};

TEST_P(LogLevelTexts, TagAndNameMatchTheLevel) {
    const auto level = static_cast<LogLevel>(GetParam().value);
    EXPECT_EQ(LogLevelTag(level), GetParam().tag);
    EXPECT_EQ(LogLevelTag(level).size(), 14u);
    EXPECT_EQ(LogLevelName(level), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Levels, LogLevelTexts,
                         testing::Values(LevelTexts{0, L"-*  FATAL  *- ", L"Fatal"},
                                         LevelTexts{1, L"-*  ERROR  *- ", L"Error"},
                                         LevelTexts{2, L"-* WARNING *- ", L"Warning"},
                                         LevelTexts{3, L"-* NOTICE  *- ", L"Notice"},
                                         LevelTexts{4, L"-*  DATA   *- ", L"Data"},
                                         LevelTexts{5, L"-*  DEBUG  *- ", L"Debug"},
                                         LevelTexts{6, L"-* UNKNOWN *- ", L"Unknown"},
                                         LevelTexts{9, L"-* UNKNOWN *- ", L"Unknown"},
                                         LevelTexts{-1, L"-* UNKNOWN *- ", L"Unknown"}));

}  // namespace
