#include "tests/support/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillet::test {
namespace {

constexpr std::size_t kMaxRequestBytes = 16 * 1024;

// Binds a TCP socket to 127.0.0.1 on a free port; returns it (or -1) and the port.
int BindLoopback(int* port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    return -1;
  }
  *port = ntohs(address.sin_port);
  return fd;
}

// Reads the request head (up to the empty line); empty when the peer sends none.
std::string ReadRequestHead(int connection) {
  std::string head;
  char chunk[1024];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRequestBytes) {
    const ssize_t got = read(connection, chunk, sizeof chunk);
    if (got <= 0) break;
    head.append(chunk, static_cast<std::size_t>(got));
  }
  return head;
}

// The path of "GET <path> HTTP/1.x"; empty for anything else.
std::string RequestPath(const std::string& head) {
  if (head.compare(0, 4, "GET ") != 0) return {};
  const std::size_t end = head.find(' ', 4);
  return end == std::string::npos ? std::string() : head.substr(4, end - 4);
}

void WriteAll(int connection, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t put = send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (put <= 0) return;
    sent += static_cast<std::size_t>(put);
  }
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer() {
  listener_ = BindLoopback(&port_);
  if (listener_ < 0 || listen(listener_, 16) != 0 || pipe2(wake_, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "cannot listen on 127.0.0.1: " << std::strerror(errno);
    return;
  }
  thread_ = std::thread([this] { run(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  if (thread_.joinable()) {
    const char stop = 's';
    if (write(wake_[1], &stop, 1) != 1) ADD_FAILURE() << "cannot stop the HTTP server";
    thread_.join();
  }
  for (int fd : {listener_, wake_[0], wake_[1]}) {
    if (fd >= 0) close(fd);
  }
}

void LoopbackHttpServer::serve(const std::string& path, const std::string& body) {
  std::lock_guard<std::mutex> lock(mutex_);
  bodies_[path] = body;
}

std::string LoopbackHttpServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

int LoopbackHttpServer::requestsFor(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_[path];
}

void LoopbackHttpServer::run() {
  for (;;) {
    pollfd waiting[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (poll(waiting, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (waiting[1].revents != 0) return;
    const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    answer(connection);
    close(connection);
  }
}

void LoopbackHttpServer::answer(int connection) {
  const std::string path = RequestPath(ReadRequestHead(connection));
  std::string status = "404 Not Found";
  std::string body;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = bodies_.find(path);
    if (found != bodies_.end()) {
      status = "200 OK";
      body = found->second;
    }
    ++requests_[path];
  }
  WriteAll(connection, "HTTP/1.0 " + status + "\r\nContent-Type: application/pkix-crl\r\n" +
                           "Content-Length: " + std::to_string(body.size()) +
                           "\r\nConnection: close\r\n\r\n" + body);
}

RefusingPort::RefusingPort() : socket_(BindLoopback(&port_)) {
  if (socket_ < 0) ADD_FAILURE() << "cannot bind on 127.0.0.1: " << std::strerror(errno);
}

RefusingPort::~RefusingPort() {
  if (socket_ >= 0) close(socket_);
}

std::string RefusingPort::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

}  // namespace quillet::test
