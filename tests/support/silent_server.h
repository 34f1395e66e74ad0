// A server on the loopback address that takes TCP connections and never says a word: the
// listener's backlog completes a client's connect, and nothing ever accepts or answers it.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

class silent_server {
 public:
  silent_server() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(fd_, 8) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
      return;
    port_ = std::to_string(ntohs(address.sin_port));
  }
  ~silent_server() {
    if (fd_ >= 0) close(fd_);
  }
  silent_server(const silent_server&) = delete;
  silent_server& operator=(const silent_server&) = delete;

  // The port it listens on, "" where it could not be set up.
  const std::string& port() const { return port_; }

 private:
  int fd_ = -1;
  std::string port_;
};
