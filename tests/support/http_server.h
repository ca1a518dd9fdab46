// A small HTTP server on the loopback interface, for tests that make the code under test
// fetch something (CRLs from distribution points): it answers GET requests on a thread of
// its own from a table of paths, and 404 for any other path.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace quillet::test {

class LoopbackHttpServer {
 public:
  // Listens on 127.0.0.1 on a free port and starts serving. Fails the calling test
  // (ADD_FAILURE) when it cannot.
  LoopbackHttpServer();
  // Stops serving and closes the port.
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  // Answers GET `path` with 200 and the body from now on.
  void serve(const std::string& path, const std::string& body);
  // The URL of a path on this server ("http://127.0.0.1:<port><path>").
  std::string url(const std::string& path) const;
  // How many requests for the path have been answered so far.
  int requestsFor(const std::string& path);

 private:
  void run();
  void answer(int connection);

  int listener_ = -1;
  int wake_[2] = {-1, -1};
  int port_ = 0;
  std::mutex mutex_;
  std::map<std::string, std::string> bodies_;
  std::map<std::string, int> requests_;
  std::thread thread_;
};

// A port on 127.0.0.1 that is held bound but never listens, so that nothing else takes it
// while the object lives: connections to it are refused at once.
class RefusingPort {
 public:
  RefusingPort();
  ~RefusingPort();
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;

  // The URL of a path at this port.
  std::string url(const std::string& path) const;

 private:
  int socket_ = -1;
  int port_ = 0;
};

}  // namespace quillet::test
