// The host's entry: prepares the streams, reads the command line, serves requests until the
// input ends.
#pragma once

#include <cstdio>

namespace quillet::host {

// Runs the host on input and output (the process's standard streams in main). Returns 0
// when the input ended, 1 after a fatal error (framing error, body not JSON or not UTF-8,
// "actionCode" not a string, memory exhausted: its text goes to the debugger output, to
// standard error without a line break, and to the log followed by "Fatal exit, see the line
// above"), -1 when a stream cannot be put into binary unbuffered mode ("Cannot set mode" or
// "Cannot set zero buffer" through perror).
int runHost(int argc, char* argv[], std::FILE* input, std::FILE* output);

}  // namespace quillet::host
