#include "crash/dialogs/ClExceptionDialog.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace kv::crash;

TEST(ClExceptionDialog, SourceLocationNamesEndBetweenCharacters) {
    const std::string unit = std::string(88, 'u') + "\x95\x5C"; // 表 across the 89-byte limit
    const std::string record = MakeSourceLocationRecord(unit, "TFoo", "Run", 12, 3, 0.0);
    ASSERT_EQ(record.size(), 376u);
    EXPECT_EQ(record[90], 88);
    EXPECT_EQ(record.substr(91, 89), std::string(88, 'u') + '\0');
    EXPECT_EQ(record[180], 4);
    EXPECT_EQ(record.substr(181, 4), "TFoo");
}

} // namespace
