#include "tests/support/process_memory.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace quillet::test {
namespace {

constexpr unsigned long kLargestMapping = 1UL << 30;
constexpr std::size_t kChunk = 1 << 20;

struct Mapping {
  unsigned long start = 0;
  unsigned long end = 0;
  std::string line;
};

// The readable mappings of pid that are worth reading.
std::vector<Mapping> ReadableMappings(pid_t pid) {
  std::vector<Mapping> mappings;
  std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
  std::string line;
  while (std::getline(maps, line)) {
    std::istringstream fields(line);
    std::string range, permissions;
    fields >> range >> permissions;
    const std::size_t dash = range.find('-');
    if (dash == std::string::npos || permissions.empty() || permissions[0] != 'r') continue;
    Mapping mapping;
    mapping.start = std::stoul(range.substr(0, dash), nullptr, 16);
    mapping.end = std::stoul(range.substr(dash + 1), nullptr, 16);
    mapping.line = line;
    if (line.find("[vvar]") != std::string::npos || line.find("[vsyscall]") != std::string::npos ||
        mapping.end - mapping.start > kLargestMapping) {
      continue;
    }
    mappings.push_back(mapping);
  }
  return mappings;
}

// Reads the mapping in chunks that overlap by the longest pattern, so that no hit is split.
void SearchMapping(int memory, const Mapping& mapping, const std::vector<MemoryPattern>& patterns,
                   std::size_t overlap, std::vector<MemoryHit>& hits) {
  std::string buffer(kChunk + overlap, '\0');
  for (unsigned long at = mapping.start; at < mapping.end; at += kChunk) {
    const std::size_t want = std::min<unsigned long>(kChunk + overlap, mapping.end - at);
    const ssize_t got = pread(memory, buffer.data(), want, static_cast<off_t>(at));
    if (got <= 0) continue;
    const std::string_view view(buffer.data(), static_cast<std::size_t>(got));
    for (const MemoryPattern& pattern : patterns) {
      for (std::size_t found = view.find(pattern.bytes); found != std::string_view::npos;
           found = view.find(pattern.bytes, found + 1)) {
        // A hit in the overlap is found again by the next chunk.
        if (found >= kChunk) break;
        hits.push_back({pattern.name, at + found, mapping.line});
      }
    }
  }
}

}  // namespace

std::optional<std::vector<MemoryHit>> findInProcessMemory(
    pid_t pid, const std::vector<MemoryPattern>& patterns) {
  const int memory = open(("/proc/" + std::to_string(pid) + "/mem").c_str(), O_RDONLY | O_CLOEXEC);
  if (memory == -1) return std::nullopt;
  std::size_t overlap = 0;
  for (const MemoryPattern& pattern : patterns) overlap = std::max(overlap, pattern.bytes.size());
  std::vector<MemoryHit> hits;
  for (const Mapping& mapping : ReadableMappings(pid)) {
    SearchMapping(memory, mapping, patterns, overlap, hits);
  }
  close(memory);
  return hits;
}

std::vector<MemoryPattern> textForms(const std::string& name, const std::string& ascii) {
  std::string utf16, wide;
  for (char c : ascii) {
    utf16 += c;
    utf16 += '\0';
    wide += c;
    wide += std::string(3, '\0');
  }
  // The zeros after the last character are not part of the text.
  if (!ascii.empty()) {
    utf16.pop_back();
    wide.resize(wide.size() - 3);
  }
  return {{name + " (narrow)", ascii}, {name + " (UTF-16)", utf16}, {name + " (wide)", wide}};
}

}  // namespace quillet::test
