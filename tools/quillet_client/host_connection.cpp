#include "tools/quillet_client/host_connection.h"

#include <cstdint>

namespace quillet::client {
namespace {

process_runner::ProcessOptions hostOptions(const std::string& program,
                                           const std::vector<std::string>& arguments) {
  process_runner::ProcessOptions options;
  options.program = program;
  options.arguments = arguments;
  options.sharedErrors = true;
  return options;
}

}  // namespace

HostConnection::HostConnection(const std::string& program,
                               const std::vector<std::string>& arguments)
    : host_(hostOptions(program, arguments)) {}

bool HostConnection::send(const std::string& body) {
  auto length = static_cast<std::uint32_t>(body.size());
  const char prefix[4] = {static_cast<char>(length), static_cast<char>(length >> 8),
                          static_cast<char>(length >> 16), static_cast<char>(length >> 24)};
  return host_.write(std::string_view(prefix, sizeof prefix)) && host_.write(body);
}

std::optional<std::string> HostConnection::receive() {
  const std::optional<std::string> prefix = host_.readExactly(4);
  if (!prefix) return std::nullopt;
  const auto* p = reinterpret_cast<const unsigned char*>(prefix->data());
  const std::uint32_t length =
      p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
  return host_.readExactly(length);
}

int HostConnection::finish(std::string& trailing) {
  const process_runner::ProcessOutcome outcome = host_.finish();
  trailing += outcome.output;
  if (outcome.exitCode >= 0) return outcome.exitCode;
  return 128 + outcome.signal;
}

}  // namespace quillet::client
