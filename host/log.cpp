#include "host/log.h"

#include <cstdio>
#include <ctime>

#include "host/log_file.h"
#include "host/text_conversion.h"

namespace quillet::host {

namespace {

// The process's log stream. Closed until the first line written while the directory exists;
// once open it stays open (so a run past midnight keeps the file of the day it opened). A
// write that fails puts the open stream into a failed state that drops every later line.
struct LogStream {
  std::FILE* file = nullptr;
  bool failed = false;
};

LogStream logStream;

// "YYYY-MM-DD hh:mm:ss", spelled out: Windows' C runtime (msvcrt) knows neither %F nor %T
// and writes nothing for them.
constexpr char kStampPattern[] = "%Y-%m-%d %H:%M:%S";

// Returns the local time formatted with pattern (strftime).
std::string localTime(const char* pattern) {
  std::time_t now = std::time(nullptr);
  std::tm local = *std::localtime(&now);
  char text[64];
  std::size_t length = std::strftime(text, sizeof text, pattern, &local);
  return std::string(text, length);
}

// Writes text to the open stream and flushes; a failure fails the stream.
void writeAndFlush(const std::string& text) {
  if (logStream.file == nullptr || logStream.failed) return;
  if (std::fwrite(text.data(), 1, text.size(), logStream.file) != text.size() ||
      std::fflush(logStream.file) != 0) {
    logStream.failed = true;
  }
}

// Returns true when the file holds at least one byte.
bool hasContent(std::FILE* file) {
  return std::fseek(file, 0, SEEK_END) == 0 && std::ftell(file) > 0;
}

// Opens today's file in directory and writes the session header.
void openLog(const std::string& directory) {
  std::string path = joinLogPath(directory, localTime("QuilletHost_%Y%m%d.log"));
  std::FILE* file = openLogFile(path);
  if (file == nullptr) return;
  logStream.file = file;
  logStream.failed = false;
  if (hasContent(file)) writeAndFlush("\n\n");
  const std::string marks(26, '>');
  writeAndFlush(marks + " VektQuilletLog " + localTime(kStampPattern) + " " + marks + "\n");
}

}  // namespace

void ensureLogOpen() {
  try {
    std::string directory = logDirectory();
    if (directory.empty() || !isDirectory(directory)) return;
    if (logStream.file != nullptr) return;
    openLog(directory);
  } catch (...) {
    // Logging is best effort: a failure to open leaves the log closed.
  }
}

void logLine(const std::string& text) {
  ensureLogOpen();
  if (logStream.file == nullptr) return;
  writeAndFlush(localTime(kStampPattern) + ": " + text + "\n");
}

void logLine(const std::wstring& text) {
  ensureLogOpen();
  logLine(WideToUtf8(text));
}

void closeLog() {
  if (logStream.file == nullptr) return;
  std::fclose(logStream.file);
  logStream.file = nullptr;
  logStream.failed = false;
}

}  // namespace quillet::host
