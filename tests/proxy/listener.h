// A loopback port that shows whether anything tried to connect to it.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace quillet::test {

// A TCP port on 127.0.0.1 that listens but never accepts: a connection attempt, if any is
// made, waits in its backlog and can be seen there afterwards.
class Listener {
 public:
  Listener() : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0)) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    const bool ok = socket_ >= 0 &&
                    bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                    listen(socket_, 8) == 0 &&
                    getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    EXPECT_TRUE(ok) << "cannot listen on 127.0.0.1";
    port_ = ntohs(address.sin_port);
  }
  ~Listener() {
    if (socket_ >= 0) close(socket_);
  }
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  // True when a connection is waiting; no waiting: the question is what already happened.
  bool WasContacted() const {
    pollfd waiting{socket_, POLLIN, 0};
    return poll(&waiting, 1, /*timeout=*/0) > 0;
  }

 private:
  int socket_;
  int port_ = 0;
};

}  // namespace quillet::test
