#include "tests/support/host_process.h"

#include "tests/support/framing.h"

namespace quillet::test {

std::string binDirectory() { return QUILLET_TEST_BIN_DIR; }

std::string hostProgram() { return binDirectory() + "/QuilletHost"; }

ProcessOptions hostProcessOptions(const HostOptions& options) {
  ProcessOptions process;
  process.program = options.program.empty() ? hostProgram() : options.program;
  process.arguments = options.arguments;
  process.environment = options.environment;
  process.withoutInput = options.withoutInput;
  process.unset = {"HOME", "XDG_DATA_HOME", "QUILLET_DEBUG_OUTPUT"};
  return process;
}

ProcessOutcome runHost(std::string_view input, const HostOptions& options) {
  return runProcess(hostProcessOptions(options), input);
}

HostProcess::HostProcess(const HostOptions& options) : child_(hostProcessOptions(options)) {}

bool HostProcess::send(std::string_view body) { return child_.write(frame(body)); }

std::optional<std::string> HostProcess::receive() {
  std::optional<std::string> prefix = child_.readExactly(4);
  if (!prefix) return std::nullopt;
  std::uint32_t length = 0;
  for (int i = 0; i < 4; ++i) {
    length |= static_cast<std::uint32_t>(static_cast<unsigned char>((*prefix)[i])) << (8 * i);
  }
  return child_.readExactly(length);
}

}  // namespace quillet::test
