// What the log of host/log.h needs from the platform: where the log directory is, and how
// the log file is opened.
#pragma once

#include <cstdio>
#include <string>

namespace quillet::host {

// Returns the log directory (UTF-8), or the empty string when there can be none (on Linux:
// HOME unset or empty).
std::string logDirectory();

// Returns true when path (UTF-8) exists and is a directory.
bool isDirectory(const std::string& path);

// Returns the path of the file name inside directory.
std::string joinLogPath(const std::string& directory, const std::string& name);

// Opens path (UTF-8) for reading and appending in text mode, creating it when missing and
// sharing it with other processes without restriction. On Linux a new file is readable and
// writable by its owner only. Returns the stream, or null when the file cannot be opened.
std::FILE* openLogFile(const std::string& path);

}  // namespace quillet::host
