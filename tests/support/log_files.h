// Reading the host's daily log in tests.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_home.h"  // the HOME the log is in

namespace quillet::test {

// Returns the log directory of a user whose HOME is home; creates it when create is set.
std::string logDirectoryIn(const std::string& home, bool create);

// Returns the names of the QuilletHost_YYYYMMDD.log files in directory, sorted.
std::vector<std::string> logFileNames(const std::string& directory);

// Returns the content of the one log file in directory ("" when there is none; a test fails
// when there are several).
std::string readLog(const std::string& directory);

// Splits text at "\n" (a final "\n" ends the last line and makes no empty line of its own).
std::vector<std::string> splitLines(const std::string& text);

// Returns the text behind "YYYY-MM-DD hh:mm:ss: " of a log line, or nullopt when the line
// does not begin with a time stamp so.
std::optional<std::string> stampedText(const std::string& line);

// Returns true when line is a session header: ">"x26 " VektQuilletLog " time ">"x26.
bool isSessionHeader(const std::string& line);

}  // namespace quillet::test
