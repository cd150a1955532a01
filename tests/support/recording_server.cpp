#include "support/recording_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

namespace kelvaro::test {
namespace {

std::string Trim(const std::string& s) {
  const auto begin = s.find_first_not_of(" \t");
  if (begin == std::string::npos) return {};
  const auto end = s.find_last_not_of(" \t");
  return s.substr(begin, end - begin + 1);
}

}  // namespace

struct RecordingServer::State {
  Handler handler;
  int listen_fd = -1;
  int wake_pipe[2] = {-1, -1};
  int port = 0;
  std::atomic<bool> stopping{false};
  std::thread acceptor;

  mutable std::mutex mutex;
  mutable std::condition_variable changed;
  std::vector<RecordedRequest> requests;
  int accepts = 0;
  std::set<int> open_fds;
  std::vector<std::thread> connections;

  // Waits until fd is readable; false when the server stops first.
  bool WaitReadable(int fd) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wake_pipe[0], POLLIN, 0}};
    while (!stopping.load()) {
      const int n = poll(fds, 2, -1);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 || (fds[1].revents != 0)) return false;
      if (fds[0].revents != 0) return true;
    }
    return false;
  }

  // Sleeps unless the server stops first.
  bool Sleep(int ms) {
    pollfd fds[1] = {{wake_pipe[0], POLLIN, 0}};
    return poll(fds, 1, ms) == 0 && !stopping.load();
  }

  bool SendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
      const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  }

  void Serve(int fd, int number) {
    std::string buffer;
    while (true) {
      std::size_t end_of_head;
      while ((end_of_head = buffer.find("\r\n\r\n")) == std::string::npos) {
        char chunk[4096];
        if (!WaitReadable(fd)) return;
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) return;
        buffer.append(chunk, static_cast<std::size_t>(n));
      }
      RecordedRequest request;
      request.connection = number;
      request.head = buffer.substr(0, end_of_head + 4);
      buffer.erase(0, end_of_head + 4);
      std::size_t line_end = request.head.find("\r\n");
      request.request_line = request.head.substr(0, line_end);
      std::size_t pos = line_end + 2;
      while (pos < request.head.size() - 2) {
        const std::size_t next = request.head.find("\r\n", pos);
        const std::string line = request.head.substr(pos, next - pos);
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) {
          request.headers.emplace_back(line, "");
        } else {
          request.headers.emplace_back(line.substr(0, colon), Trim(line.substr(colon + 1)));
        }
        pos = next + 2;
      }
      const std::string length_text = request.Header("Content-Length");
      const std::size_t length = length_text.empty() ? 0 : std::stoul(length_text);
      while (buffer.size() < length) {
        char chunk[65536];
        if (!WaitReadable(fd)) return;
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) return;
        buffer.append(chunk, static_cast<std::size_t>(n));
      }
      request.body = buffer.substr(0, length);
      buffer.erase(0, length);

      Reply reply = handler ? handler(request) : Reply::Http(200, "ok");
      {
        std::lock_guard lock(mutex);
        requests.push_back(request);
      }
      changed.notify_all();

      if (!SendAll(fd, reply.bytes.data(), reply.bytes.size())) return;
      const std::string filler(64 * 1024, 'x');
      for (std::size_t left = reply.filler_bytes; left > 0 && !stopping.load();) {
        const std::size_t piece = reply.trickle_ms > 0 ? 1 : std::min(left, filler.size());
        if (reply.trickle_ms > 0 && !Sleep(reply.trickle_ms)) return;
        if (!SendAll(fd, filler.data(), piece)) return;
        left -= piece;
      }
      if (reply.after == Reply::After::kClose) return;
      if (reply.after == Reply::After::kHang) {
        // Hold the connection until the client gives up or the server stops.
        char sink[4096];
        while (WaitReadable(fd) && recv(fd, sink, sizeof sink, 0) > 0) {
        }
        return;
      }
    }
  }

  void AcceptLoop() {
    while (true) {
      if (!WaitReadable(listen_fd)) return;
      const int fd = accept(listen_fd, nullptr, nullptr);
      if (fd < 0) continue;
      std::lock_guard lock(mutex);
      if (stopping.load()) {
        close(fd);
        return;
      }
      const int number = ++accepts;
      open_fds.insert(fd);
      connections.emplace_back([this, fd, number] {
        Serve(fd, number);
        std::lock_guard inner(mutex);
        open_fds.erase(fd);
        close(fd);
      });
      changed.notify_all();
    }
  }
};

RecordingServer::RecordingServer(Handler handler) : state_(std::make_shared<State>()) {
  state_->handler = std::move(handler);
  if (pipe(state_->wake_pipe) != 0) throw std::runtime_error("pipe");
  state_->listen_fd = socket(AF_INET, SOCK_STREAM, 0);
  if (state_->listen_fd < 0) throw std::runtime_error("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (bind(state_->listen_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(state_->listen_fd, 64) != 0) {
    throw std::runtime_error("bind/listen");
  }
  socklen_t size = sizeof address;
  getsockname(state_->listen_fd, reinterpret_cast<sockaddr*>(&address), &size);
  state_->port = ntohs(address.sin_port);
  state_->acceptor = std::thread([state = state_.get()] { state->AcceptLoop(); });
}

RecordingServer::~RecordingServer() { Stop(); }

void RecordingServer::Stop() {
  State& s = *state_;
  if (s.stopping.exchange(true)) return;
  const char wake = 1;
  [[maybe_unused]] const ssize_t written = write(s.wake_pipe[1], &wake, 1);
  if (s.acceptor.joinable()) s.acceptor.join();
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(s.mutex);
    for (int fd : s.open_fds) shutdown(fd, SHUT_RDWR);
    threads.swap(s.connections);
  }
  for (std::thread& t : threads) t.join();
  close(s.listen_fd);
  close(s.wake_pipe[0]);
  close(s.wake_pipe[1]);
}

int RecordingServer::port() const { return state_->port; }

std::string RecordingServer::HostPort() const { return "127.0.0.1:" + std::to_string(port()); }

std::string RecordingServer::Url(const std::string& path) const {
  return "http://" + HostPort() + path;
}

std::vector<RecordedRequest> RecordingServer::Requests() const {
  std::lock_guard lock(state_->mutex);
  return state_->requests;
}

int RecordingServer::AcceptCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->accepts;
}

bool RecordingServer::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(state_->mutex);
  return state_->changed.wait_for(lock, timeout, [&] { return state_->requests.size() >= count; });
}

}  // namespace kelvaro::test
