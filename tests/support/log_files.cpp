#include "tests/support/log_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>

namespace quillet::test {

std::string logDirectoryIn(const std::string& home, bool create) {
  std::string directory = home + "/tavlin.quillet";
  if (create) mkdir(directory.c_str(), 0700);
  return directory;
}

std::vector<std::string> logFileNames(const std::string& directory) {
  static const std::regex kName("QuilletHost_[0-9]{8}\\.log");
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
    std::string name = entry.path().filename().string();
    if (std::regex_match(name, kName)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string readLog(const std::string& directory) {
  std::vector<std::string> names = logFileNames(directory);
  EXPECT_LE(names.size(), 1u) << "more than one log file in " << directory;
  return names.empty() ? std::string() : readFile(directory + "/" + names.front());
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::optional<std::string> stampedText(const std::string& line) {
  static const std::regex kStamp("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}: ");
  std::smatch match;
  if (!std::regex_search(line, match, kStamp, std::regex_constants::match_continuous)) {
    return std::nullopt;
  }
  return line.substr(match.length(0));
}

bool isSessionHeader(const std::string& line) {
  static const std::regex kHeader(
      ">{26} VektQuilletLog [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} >{26}");
  return std::regex_match(line, kHeader);
}

}  // namespace quillet::test
