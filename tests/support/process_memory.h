// Searching the memory of a running process (Linux, /proc/PID/maps and /proc/PID/mem), to
// prove that a secret is gone from it. Reading another process's memory needs root, or the
// process being a child of the reader under the default ptrace scope.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace quillet::test {

// A byte pattern found in a process, and where.
struct MemoryHit {
  std::string name;  // the name the pattern was given
  unsigned long address;
  std::string mapping;  // the line of /proc/PID/maps that holds it
};

// A named byte pattern to look for.
struct MemoryPattern {
  std::string name;
  std::string bytes;
};

// Searches every readable mapping of process pid for the patterns (mappings larger than
// 1 GiB are the sanitizers' shadow and reservations, and are passed over). Returns every
// hit, or nullopt when the memory cannot be read at all (no rights).
std::optional<std::vector<MemoryHit>> findInProcessMemory(
    pid_t pid, const std::vector<MemoryPattern>& patterns);

// The forms a text of ASCII characters takes in memory: the bytes themselves, UTF-16LE, and
// the 32-bit wide characters in which the host keeps UTF-16 units on Linux.
std::vector<MemoryPattern> textForms(const std::string& name, const std::string& ascii);

}  // namespace quillet::test
