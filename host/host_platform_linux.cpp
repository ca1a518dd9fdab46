#include "host/host_platform.h"

#include <malloc.h>

#include <csignal>
#include <cstddef>

#include "platform/win32.h"

namespace quillet::host {

const wchar_t* dialogLibraryName() { return L"libQuilletCertDialog.so"; }

const std::vector<std::wstring>& dependencyLibraryNames() {
  // libxmlsec1-openssl needs libxmlsec1: the core goes first.
  static const std::vector<std::wstring> names = {L"libxmlsec1.so.1", L"libxmlsec1-openssl.so.1"};
  return names;
}

const wchar_t* proxyLibrarySuffix() { return L"/libQuilletProxy.so"; }

const wchar_t* pathSeparator() { return L"/"; }

void failWritesToClosedPipes() { std::signal(SIGPIPE, SIG_IGN); }

bool debugOutputIsRead() { return IsDebuggerPresent() != FALSE; }

// Above any block a request needs: a message is at most 64 MiB, and its UTF-16 text takes
// four bytes a unit with Linux's wchar_t. A block above it is still mapped on its own.
constexpr int kLargestHeapBlock = 1 << 30;

void keepLargeBlocksInTheHeap() {
  // Without these, glibc maps every block above 128 KiB (a threshold that rises to 32 MiB as
  // such blocks are freed) and returns a freed top of the heap above 128 KiB at once.
  mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock);
  mallopt(M_TRIM_THRESHOLD, kLargestHeapBlock);
}

// Free memory in the heap that a request may leave behind without giving it back: below it,
// a stream of small requests reuses the same pages and no request pays for a trim.
constexpr std::size_t kKeptFreeHeap = std::size_t{8} << 20;

void releaseFreeHeap() {
  if (mallinfo2().fordblks > kKeptFreeHeap) malloc_trim(0);
}

}  // namespace quillet::host
