// The parent window handle from the command line, by atol's rules.
#include "host/parent_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillet::test {

using namespace quillet::host;
namespace {

std::int32_t handleFrom(std::vector<std::string> arguments) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return parentWindowFromArguments(static_cast<int>(arguments.size()), argv.data());
}

TEST(ParentWindow, TakesTheFirstNonZeroHandle) {
  const std::pair<std::vector<std::string>, std::int32_t> cases[] = {
      {{"QuilletHost"}, 0},
      {{"QuilletHost", "chrome-extension://abc/"}, 0},
      {{"QuilletHost", "--parent-window=4242"}, 4242},
      {{"QuilletHost", "--parent-window=0", "--parent-window=4242"}, 4242},
      {{"QuilletHost", "--parent-window=77", "--parent-window=88"}, 77},
      {{"QuilletHost", "--parent-window=12abc"}, 12},
      {{"QuilletHost", "--parent-window=abc", "--parent-window=5"}, 5},
      {{"QuilletHost", "--parent-window=  -15"}, -15},
      {{"QuilletHost", "--parent-window=+9"}, 9},
      {{"QuilletHost", "--parent-window="}, 0},
      {{"QuilletHost", "--PARENT-WINDOW=4242"}, 0},
      {{"QuilletHost", "--parent-window 4242"}, 0},
      {{"--parent-window=31", "--parent-window=4"}, 31},  // the program path counts too
      {{"QuilletHost", "--parent-window=99999999999"}, 2147483647},
      {{"QuilletHost", "--parent-window=-99999999999"}, -2147483647 - 1},
  };
  for (const auto& [arguments, handle] : cases) {
    SCOPED_TRACE(arguments.back());
    EXPECT_EQ(handleFrom(arguments), handle);
  }
}

}  // namespace
}  // namespace quillet::test
