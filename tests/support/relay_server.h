// A relay on the loopback address in front of a TCP server: the first `relayed` connections it
// takes are carried to the server and back byte for byte; every later one is taken and never
// answered, as a server that accepts and never speaks.  Once frozen it carries nothing more either
// way, as a server that stops answering on the connections it has.  One thread serves them all
// until the relay goes.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class relay_server {
 public:
  relay_server(uint16_t server_port, size_t relayed) : server_port_(server_port), relayed_(relayed) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0 || pipe2(stop_, O_CLOEXEC) != 0) return;
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(listener_, 8) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
      return;
    port_ = std::to_string(ntohs(address.sin_port));
    thread_ = std::thread([this] { serve(); });
  }
  ~relay_server() {
    if (thread_.joinable()) {
      (void)!write(stop_[1], "x", 1);
      thread_.join();
    }
    for (const int fd : {listener_, stop_[0], stop_[1]})
      if (fd >= 0) close(fd);
  }
  relay_server(const relay_server&) = delete;
  relay_server& operator=(const relay_server&) = delete;

  // The port it listens on, "" where it could not be set up.
  const std::string& port() const { return port_; }
  // From now on nothing is carried on the connections it has (they stay open).
  void freeze() { frozen_ = true; }
  // The connections it took and never answered.
  size_t silent_connections() const { return silent_count_; }

 private:
  static sockaddr_in loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
  }

  void serve() {
    std::vector<std::pair<int, int>> pairs;  // client, server
    size_t taken = 0;
    std::vector<int> silent;
    for (;;) {
      std::vector<pollfd> watched{{stop_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
      const bool carrying = !frozen_;
      if (carrying)
        for (const auto& [client, server] : pairs) {
          watched.push_back({client, POLLIN, 0});
          watched.push_back({server, POLLIN, 0});
        }
      if (poll(watched.data(), watched.size(), -1) < 0) continue;
      if (watched[0].revents != 0) break;
      // Frozen during the poll: what came is not carried, and the next turn no longer watches it.
      const size_t polled = carrying && !frozen_ ? pairs.size() : 0;
      if (watched[1].revents != 0) {
        const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0 && taken++ < relayed_) {
          const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
          const sockaddr_in address = loopback(server_port_);
          if (server >= 0 && connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            pairs.emplace_back(client, server);
          } else {
            close(client);
            if (server >= 0) close(server);
          }
        } else if (client >= 0) {
          silent.push_back(client);
          ++silent_count_;
        }
      }
      std::vector<std::pair<int, int>> open;
      for (size_t i = 0; i < pairs.size(); ++i) {
        if (i >= polled) {  // taken just now: served from the next turn on
          open.push_back(pairs[i]);
          continue;
        }
        bool ended = false;
        for (const bool from_client : {true, false}) {
          const pollfd& p = watched[2 + 2 * i + (from_client ? 0 : 1)];
          if (p.revents == 0 || ended) continue;
          const int from = from_client ? pairs[i].first : pairs[i].second;
          const int to = from_client ? pairs[i].second : pairs[i].first;
          char buffer[65536];
          const ssize_t n = read(from, buffer, sizeof buffer);
          ended = n <= 0;
          for (ssize_t done = 0; done < n;) {
            const ssize_t w = write(to, buffer + done, static_cast<size_t>(n - done));
            if (w <= 0) {
              ended = true;
              break;
            }
            done += w;
          }
        }
        if (ended) {  // one side went: the other one goes too
          close(pairs[i].first);
          close(pairs[i].second);
        } else {
          open.push_back(pairs[i]);
        }
      }
      pairs = std::move(open);
    }
    for (const auto& [client, server] : pairs) {
      close(client);
      close(server);
    }
    for (const int fd : silent) close(fd);
  }

  uint16_t server_port_;
  size_t relayed_;
  int listener_ = -1;
  int stop_[2] = {-1, -1};
  std::string port_;
  std::atomic<size_t> silent_count_{0};
  std::atomic<bool> frozen_{false};
  std::thread thread_;
};
