// The boundary of every export: no exception leaves the library.
#pragma once

#include <new>

#include "host/result_codes.h"

namespace quillet::proxy {

// Runs body (a callable returning a result code) and returns its code; an exception
// becomes OutOfMemory (std::bad_alloc) or UnexpectedError (anything else).
template <typename Body>
int guardedCall(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return OutOfMemory;
  } catch (...) {
    return UnexpectedError;
  }
}

// Runs body (a callable returning nothing) and swallows any exception.
template <typename Body>
void guardedVoidCall(Body&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

}  // namespace quillet::proxy
