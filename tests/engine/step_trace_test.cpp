// The brackets of an engine step as the log shows them: "> step" and "< step", the
// closing one with the step's code, or a failed step's own line in its place.
#include "host/engine/step_trace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/result_codes.h"
#include "tests/certs/trace_log.h"
#include "tests/support/test_stores.h"

namespace quillet::test {

using namespace quillet::host;
namespace {

// True when `line` starts with `prefix` (error lines end with the code's message).
bool StartsWith(const std::string& line, const std::string& prefix) {
  return line.compare(0, prefix.size(), prefix) == 0;
}

TEST(StepTrace, WritesBothBracketsOrTheFailedStepsOwnLine) {
  TestStores stores;
  TraceLog log(stores.home());
  struct Case {
    const char* what;
    int (*run)(int result);
    int result;
    std::vector<std::string> lines;  // whole for code 0, a prefix for error lines
  };
  const std::vector<Case> cases = {
      {"closed with success",
       [](int r) { return StepTrace(L"Step").close(r); },
       Ok,
       {"> Step", "< Step"}},
      {"closed with its failure",
       [](int r) { return StepTrace(L"CheckIfCertificateValid").close(r); },
       RevocationCheckFailed,
       {"> CheckIfCertificateValid", "ERROR=11 (< CheckIfCertificateValid "}},
      {"failure line in place of the closing bracket",
       [](int r) { return StepTrace(L"Step").closeOrReport(r, L"step failed"); },
       203,
       {"> Step", "ERROR=203 (step failed "}},
      {"success closes even with a failure line",
       [](int r) { return StepTrace(L"Step").closeOrReport(r, L"step failed"); },
       Ok,
       {"> Step", "< Step"}},
      {"no gap, failure left to the caller",
       [](int r) { return StepTrace(L"Sign", L"").closeOrReport(r, nullptr); },
       205,
       {">Sign"}},
      {"no gap, success",
       [](int r) { return StepTrace(L"Sign", L"").closeOrReport(r, nullptr); },
       Ok,
       {">Sign", "<Sign"}},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.what);
    log.Clear();
    EXPECT_EQ(row.run(row.result), row.result);
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), row.lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (row.result == Ok || i == 0) {
        EXPECT_EQ(lines[i], row.lines[i]);
      } else {
        EXPECT_TRUE(StartsWith(lines[i], row.lines[i])) << lines[i];
      }
    }
  }
}

}  // namespace
}  // namespace quillet::test
