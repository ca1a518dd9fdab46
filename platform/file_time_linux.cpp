#include "platform/file_time.h"

#include <ctime>

#include "platform/file_time_convert_linux.h"

void GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  *lpSystemTimeAsFileTime = quillet::platform::fileTimeFromUnix(now.tv_sec, now.tv_nsec);
}
