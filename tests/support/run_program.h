// Runs a real program of the build for a test, with its output captured (through the
// process runner the tests share with quillet-client, tools/process_runner).
#pragma once

#include <string>
#include <vector>

namespace quillet::test {

struct CliResult {
  int status = -1;  // exit status, -1 when the program could not be run or was killed
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs `program` with the arguments and this process's environment plus (replacing)
// the `environment` entries ("NAME=value"), with an empty standard input.
CliResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& environment = {});

}  // namespace quillet::test
