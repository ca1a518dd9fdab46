#include "tests/support/line_matchers.h"

namespace quillet::test {

testing::AssertionResult containsInOrder(const std::vector<std::string>& lines,
                                         const std::vector<std::string>& expected) {
  std::size_t at = 0;
  for (const std::string& entry : expected) {
    while (at < lines.size() && lines[at].rfind(entry, 0) != 0) ++at;
    if (at == lines.size()) {
      testing::AssertionResult failure = testing::AssertionFailure();
      failure << "\"" << entry << "\" not found in order; the lines are:\n";
      for (const std::string& line : lines) failure << "  " << line << "\n";
      return failure;
    }
    ++at;
  }
  return testing::AssertionSuccess();
}

int countLines(const std::vector<std::string>& lines, const std::string& prefix) {
  int count = 0;
  for (const std::string& line : lines) count += line.rfind(prefix, 0) == 0 ? 1 : 0;
  return count;
}

}  // namespace quillet::test
