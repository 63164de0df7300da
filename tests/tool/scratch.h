// A directory of the running test's own under the working directory (the
// tests' scratch folder), emptied first: ctest runs tests side by side.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

inline std::string freshDirectory() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::filesystem::path directory =
        std::filesystem::absolute("tool_units") / test->test_suite_name() / test->name();
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    return directory.string() + "/";
}
