// Conversions between Unix time and FILETIME inside the platform library.
#pragma once

#include <cstdint>

#include "platform/file_time.h"

namespace quillet::platform {

// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kFileTimeUnixEpochSeconds = 11644473600LL;

// Returns the FILETIME of a Unix time (seconds and nanoseconds since 1970, UTC).
inline FILETIME fileTimeFromUnix(std::int64_t seconds, long nanoseconds = 0) {
  const std::uint64_t ticks =
      static_cast<std::uint64_t>(seconds + kFileTimeUnixEpochSeconds) * 10000000ULL +
      static_cast<std::uint64_t>(nanoseconds / 100);
  return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

// Returns a FILETIME as one 64-bit count of 100-nanosecond intervals.
inline std::uint64_t fileTimeTicks(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Returns the Unix time (whole seconds, rounded down) of a FILETIME.
inline std::int64_t unixFromFileTime(const FILETIME& time) {
  return static_cast<std::int64_t>(fileTimeTicks(time) / 10000000ULL) - kFileTimeUnixEpochSeconds;
}

}  // namespace quillet::platform
