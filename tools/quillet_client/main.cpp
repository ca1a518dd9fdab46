// quillet-client: talks to a QuilletHost the way the browser does. Starts the host (the
// QuilletHost beside this program, or --host PATH), sends each request (the arguments, or
// else each non-empty line of standard input) framed, one at a time, and prints each answer
// as its JSON text on a line of its own. Exit status 0 when every request got a JSON answer
// and the host then ended with 0; 1 for a broken exchange; 2 for bad usage.
#include <unistd.h>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/quillet_client/host_connection.h"

namespace quillet::client {
namespace {

constexpr const char* kUsage =
    "usage: quillet-client [--host PATH] [--host-arg ARG]... [--pretty] [REQUEST...]\n"
    "Sends each REQUEST (JSON text; without any, each non-empty line of standard input) to\n"
    "a QuilletHost and prints its answers, one per line.\n";

struct Options {
  std::string host;
  std::vector<std::string> hostArguments;
  bool pretty = false;
  std::vector<std::string> requests;
};

// Returns the QuilletHost in the directory of this program.
std::string defaultHost() {
  std::vector<char> path(4096);
  ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0) return "QuilletHost";
  std::string self(path.data(), static_cast<std::size_t>(length));
  return self.substr(0, self.rfind('/') + 1) + "QuilletHost";
}

// Reads the command line; nullopt after printing the usage when it is wrong.
std::optional<Options> parseOptions(int argc, char* argv[]) {
  Options options;
  options.host = defaultHost();
  bool onlyRequests = false;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (!onlyRequests && argument == "--") {
      onlyRequests = true;
    } else if (!onlyRequests && (argument == "--host" || argument == "--host-arg")) {
      if (i + 1 == argc) return std::nullopt;
      std::string value = argv[++i];
      if (argument == "--host") {
        options.host = value;
      } else {
        options.hostArguments.push_back(value);
      }
    } else if (!onlyRequests && argument == "--pretty") {
      options.pretty = true;
    } else if (!onlyRequests && argument.rfind("--", 0) == 0) {
      return std::nullopt;
    } else {
      options.requests.push_back(argument);
    }
  }
  return options;
}

// Returns the non-empty lines of standard input.
std::vector<std::string> requestsFromInput() {
  std::vector<std::string> requests;
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line.find_first_not_of(" \t\r") != std::string::npos) requests.push_back(line);
  }
  return requests;
}

// Prints answer; false when it is not JSON.
bool printAnswer(const std::string& answer, bool pretty) {
  nlohmann::json parsed = nlohmann::json::parse(answer, nullptr, /*allow_exceptions=*/false);
  if (parsed.is_discarded()) return false;
  std::cout << (pretty ? parsed.dump(2) : answer) << std::endl;
  return true;
}

// Runs the exchange; returns the exit status.
int exchange(const Options& options) {
  HostConnection host(options.host, options.hostArguments);
  bool broken = false;
  for (std::size_t i = 0; i < options.requests.size() && !broken; ++i) {
    std::optional<std::string> answer;
    if (host.send(options.requests[i])) answer = host.receive();
    if (!answer) {
      std::cerr << "quillet-client: no answer to request " << i + 1 << "\n";
      broken = true;
    } else if (!printAnswer(*answer, options.pretty)) {
      std::cerr << "quillet-client: answer " << i + 1 << " is not JSON: " << *answer << "\n";
      broken = true;
    }
  }
  std::string trailing;
  int status = host.finish(trailing);
  if (!trailing.empty()) {
    std::cerr << "quillet-client: " << trailing.size() << " bytes beyond the answers\n";
    broken = true;
  }
  if (status != 0) {
    std::cerr << "quillet-client: the host ended with status " << status << "\n";
    broken = true;
  }
  return broken ? 1 : 0;
}

}  // namespace

// Runs the client: the exit status of main.
int run(int argc, char* argv[]) {
  std::optional<Options> options = parseOptions(argc, argv);
  if (!options) {
    std::cerr << kUsage;
    return 2;
  }
  if (options->requests.empty()) options->requests = requestsFromInput();
  try {
    return exchange(*options);
  } catch (const std::exception& error) {
    std::cerr << "quillet-client: " << error.what() << "\n";
    return 1;
  }
}

}  // namespace quillet::client

int main(int argc, char* argv[]) { return quillet::client::run(argc, argv); }
