// The trace brackets of one step inside an engine operation: "> name" when the step starts
// and "< name" when it ends (the operation's own brackets, ">>> " and "<<< ", are
// ImplCallScope's).
#pragma once

#include <string>

namespace quillet::host {

class StepTrace {
 public:
  // Writes the opening bracket ">" + gap + name with code 0. The gap is one blank except
  // for the signing of each document, whose brackets the trace has always written without
  // it (">Sign", "<Sign").
  explicit StepTrace(std::wstring name, std::wstring gap = L" ");

  // Writes the closing bracket "<" + gap + name with the step's result (a non-zero result
  // adds its message, as traceResult does) and returns the result.
  int close(int result) const;

  // Writes the closing bracket with code 0 when the step succeeded; a failed step writes
  // `failureLine` with its result instead (nothing when failureLine is null). Returns the
  // result.
  int closeOrReport(int result, const wchar_t* failureLine) const;

 private:
  std::wstring name_;
  std::wstring gap_;
};

}  // namespace quillet::host
