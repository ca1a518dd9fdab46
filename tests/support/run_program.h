// Runs a real program of the build for a test, with its output captured.
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
// the `environment` entries ("NAME=value"); `work_dir` (which must exist) keeps the
// captured output. Standard input is /dev/null.
CliResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& work_dir, const std::vector<std::string>& environment = {});

}  // namespace quillet::test
