#include "host/entry.h"

#include <exception>
#include <memory>
#include <string>

#include "host/browser_message.h"
#include "host/compact_json.h"
#include "host/create_operation.h"
#include "host/framing.h"
#include "host/host_platform.h"
#include "host/log.h"
#include "host/parent_window.h"
#include "platform/win32.h"

namespace quillet::host {

namespace {

// Puts stream into binary, unbuffered mode; on failure reports through perror and returns
// false.
bool prepareStream(std::FILE* stream) {
  if (_setmode(_fileno(stream), _O_BINARY) == -1) {
    std::perror("Cannot set mode");
    return false;
  }
  if (std::setvbuf(stream, nullptr, _IONBF, 0) != 0) {
    std::perror("Cannot set zero buffer");
    return false;
  }
  return true;
}

// Reads, runs and answers one request. Returns false when the input has ended. Throws what
// escapes the request.
bool serveRequest(std::FILE* input, std::FILE* output) {
  BrowserMessage message;
  if (!message.read(input)) return false;
  message.forgetText();
  std::unique_ptr<Operation> operation = createOperation(message);
  nlohmann::json answer = operation->run();
  std::string answerText = compactJson(answer);
  OutputDebugStringA(answerText.c_str());
  writeFramedMessage(output, answerText);
  return true;
}

// Serves requests until the input ends. Throws what escapes a request.
void serveRequests(std::FILE* input, std::FILE* output) {
  while (serveRequest(input, output)) releaseFreeHeap();
}

// Reports an error that ended the loop.
void reportFatal(const std::exception& error) {
  OutputDebugStringA(error.what());
  std::fputs(error.what(), stderr);
  logLine(std::string(error.what()));
  logLine(std::string("Fatal exit, see the line above"));
}

}  // namespace

int runHost(int argc, char* argv[], std::FILE* input, std::FILE* output) {
  if (!prepareStream(input) || !prepareStream(output)) return -1;
  failWritesToClosedPipes();
  keepLargeBlocksInTheHeap();
  int exitCode = 0;
  try {
    parentWindowHandle = parentWindowFromArguments(argc, argv);
    serveRequests(input, output);
  } catch (const std::exception& error) {
    reportFatal(error);
    exitCode = 1;
  }
  closeLog();
  return exitCode;
}

}  // namespace quillet::host
