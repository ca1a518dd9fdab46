// Checks on the lines of a trace or log.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillet::test {

// Succeeds when every entry of `expected` is the beginning of a line of `lines`, each after
// the line that matched the entry before it.
testing::AssertionResult containsInOrder(const std::vector<std::string>& lines,
                                         const std::vector<std::string>& expected);
// The number of lines that begin with `prefix`.
int countLines(const std::vector<std::string>& lines, const std::string& prefix);

}  // namespace quillet::test
