// Brackets one engine operation: entering writes ">>> VektQuilletImpl::<name>" and
// initialises the XML-Signature library; leaving (also by an exception) shuts it down when
// the start succeeded and then writes "<<< VektQuilletImpl::<name>".
#pragma once

#include <string>

namespace quillet::host {

class VektQuilletImpl;

class ImplCallScope {
 public:
  ImplCallScope(VektQuilletImpl& engine, std::wstring name);
  ~ImplCallScope();
  ImplCallScope(const ImplCallScope&) = delete;
  ImplCallScope& operator=(const ImplCallScope&) = delete;

  // The result of the initialisation taken when the scope began; 0 when the operation may go on.
  int initResult;

 private:
  VektQuilletImpl& engine_;
  std::wstring name_;
};

}  // namespace quillet::host
