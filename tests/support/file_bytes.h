// Whole files for tests: read, written and looked for in one call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillet::test {

// Returns the bytes of the file at path; "" when it cannot be read.
std::string readFile(const std::string& path);
// Writes bytes to the file at path, replacing it; returns false on failure.
bool writeFile(const std::string& path, const std::string& bytes);
// Returns true when path exists.
bool pathExists(const std::string& path);

// Writes bytes to a file (replacing it); fails the calling test when it cannot.
void writeFileOrFail(const std::string& path, const std::string& bytes);
void writeFileOrFail(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace quillet::test
