#include "host/closed_output.h"

// Windows has no signal for a closed pipe: the write fails with ERROR_NO_DATA.
void failWritesToClosedPipes() {}
