#include "tests/support/run_program.h"

#include <stdexcept>

#include "tools/process_runner/child_process.h"

namespace quillet::test {

CliResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& environment) {
  process_runner::ProcessOptions options;
  options.program = program;
  options.arguments = args;
  for (const std::string& variable : environment) {
    const std::size_t equals = variable.find('=');
    options.environment[variable.substr(0, equals)] =
        equals == std::string::npos ? std::string() : variable.substr(equals + 1);
  }
  CliResult result;
  try {
    process_runner::ProcessOutcome outcome = process_runner::runProcess(options, "");
    result.status = outcome.exitCode;
    result.out = std::move(outcome.output);
    result.err = std::move(outcome.errors);
  } catch (const std::runtime_error& error) {
    result.err = error.what();  // the program could not be started
  }
  return result;
}

}  // namespace quillet::test
