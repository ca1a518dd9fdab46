#include "host/engine/step_trace.h"

#include <utility>

#include "host/result_codes.h"
#include "host/trace.h"

namespace quillet::host {

StepTrace::StepTrace(std::wstring name, std::wstring gap)
    : name_(std::move(name)), gap_(std::move(gap)) {
  traceResult(L">" + gap_ + name_, Ok, 0);
}

int StepTrace::close(int result) const {
  traceResult(L"<" + gap_ + name_, result, 0);
  return result;
}

int StepTrace::closeOrReport(int result, const wchar_t* failureLine) const {
  if (result == Ok) return close(result);
  if (failureLine != nullptr) traceResult(failureLine, result, 0);
  return result;
}

}  // namespace quillet::host
