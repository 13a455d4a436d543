#include "recording_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace kestrano::standin {
namespace {

thread_local std::string t_raw_head;
thread_local int t_socket = -1;

bool wait_for(int sock, short events, int timeout_ms) {
  pollfd p{sock, events, 0};
  int n;
  do {
    n = ::poll(&p, 1, timeout_ms);
  } while (n < 0 && errno == EINTR);
  return n > 0;
}

void address_of(int sock, bool peer, std::string& ip, int& port) {
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  int rc = peer ? ::getpeername(sock, reinterpret_cast<sockaddr*>(&addr), &len)
                : ::getsockname(sock, reinterpret_cast<sockaddr*>(&addr), &len);
  if (rc != 0) return;
  char text[INET6_ADDRSTRLEN] = {};
  if (addr.ss_family == AF_INET) {
    auto* a = reinterpret_cast<sockaddr_in*>(&addr);
    ::inet_ntop(AF_INET, &a->sin_addr, text, sizeof text);
    port = ntohs(a->sin_port);
  } else if (addr.ss_family == AF_INET6) {
    auto* a = reinterpret_cast<sockaddr_in6*>(&addr);
    ::inet_ntop(AF_INET6, &a->sin6_addr, text, sizeof text);
    port = ntohs(a->sin6_port);
  }
  ip = text;
}

// A socket (or TLS) stream that hands httplib its bytes through a small buffer and keeps a copy of
// what it delivered while capturing.
class ConnectionStream : public httplib::Stream {
 public:
  ConnectionStream(int sock, SSL* ssl, int read_timeout_ms, int write_timeout_ms)
      : sock_(sock), ssl_(ssl), read_timeout_ms_(read_timeout_ms), write_timeout_ms_(write_timeout_ms) {}

  bool has_buffered() const { return pos_ < end_ || (ssl_ && SSL_pending(ssl_) > 0); }
  void start_capture() {
    capture_.clear();
    capturing_ = true;
  }
  std::string take_capture() {
    capturing_ = false;
    return std::move(capture_);
  }

  bool is_readable() const override { return has_buffered() || wait_for(sock_, POLLIN, read_timeout_ms_); }
  bool is_writable() const override { return wait_for(sock_, POLLOUT, write_timeout_ms_); }

  ssize_t read(char* ptr, size_t size) override {
    if (pos_ == end_) {
      if (!is_readable()) return -1;
      int n = ssl_ ? SSL_read(ssl_, buffer_, sizeof buffer_)
                   : static_cast<int>(::recv(sock_, buffer_, sizeof buffer_, 0));
      if (n <= 0) return -1;
      pos_ = 0;
      end_ = static_cast<size_t>(n);
    }
    size_t n = std::min(size, end_ - pos_);
    std::memcpy(ptr, buffer_ + pos_, n);
    if (capturing_) capture_.append(ptr, n);
    pos_ += n;
    return static_cast<ssize_t>(n);
  }

  ssize_t write(const char* ptr, size_t size) override {
    if (!is_writable()) return -1;
    if (ssl_) {
      int n = SSL_write(ssl_, ptr, static_cast<int>(std::min<size_t>(size, 1 << 30)));
      return n > 0 ? n : -1;
    }
    ssize_t n = ::send(sock_, ptr, size, MSG_NOSIGNAL);
    return n > 0 ? n : -1;
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override { address_of(sock_, true, ip, port); }
  void get_local_ip_and_port(std::string& ip, int& port) const override { address_of(sock_, false, ip, port); }
  socket_t socket() const override { return sock_; }

 private:
  int sock_;
  SSL* ssl_;
  int read_timeout_ms_;
  int write_timeout_ms_;
  char buffer_[16384];
  size_t pos_ = 0, end_ = 0;
  bool capturing_ = false;
  std::string capture_;
};

}  // namespace

const std::string& RecordingServer::current_raw_head() { return t_raw_head; }

bool RecordingServer::current_peer_gone() {
  if (t_socket < 0) return false;
  pollfd p{t_socket, POLLRDHUP, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR));
}

bool RecordingServer::process_and_close_socket(socket_t sock) {
  ++connections_;
  t_socket = sock;
  const int read_ms = static_cast<int>(read_timeout_sec_ * 1000 + read_timeout_usec_ / 1000);
  const int write_ms = static_cast<int>(write_timeout_sec_ * 1000 + write_timeout_usec_ / 1000);
  // Blocking TLS calls honour these; they bound a peer that stops halfway through a record.
  timeval rt{read_timeout_sec_, static_cast<suseconds_t>(read_timeout_usec_)};
  timeval wt{write_timeout_sec_, static_cast<suseconds_t>(write_timeout_usec_)};
  ::setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &rt, sizeof rt);
  ::setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &wt, sizeof wt);

  SSL* ssl = nullptr;
  bool ret = false;
  if (tls_) {
    ssl = SSL_new(tls_);
    if (!ssl || SSL_set_fd(ssl, sock) != 1 || SSL_accept(ssl) != 1) {
      if (ssl) SSL_free(ssl);
      t_socket = -1;
      ::shutdown(sock, SHUT_RDWR);
      ::close(sock);
      return false;
    }
  }
  {
    ConnectionStream stream(sock, ssl, read_ms, write_ms);
    for (size_t left = keep_alive_max_count_; left > 0 && !stopping_; --left) {
      // Wait for the next request in short slices so a stop is noticed at once.
      const auto idle_until =
          std::chrono::steady_clock::now() + std::chrono::seconds(keep_alive_timeout_sec_);
      bool ready = stream.has_buffered();
      while (!ready && !stopping_ && std::chrono::steady_clock::now() < idle_until) {
        ready = wait_for(sock, POLLIN, 20);
      }
      if (!ready || stopping_) break;
      stream.start_capture();
      bool connection_closed = false;
      ret = process_request(stream, left == 1, connection_closed, [&stream](httplib::Request& req) {
        t_raw_head = stream.take_capture();
        // Ranges are the handlers' business: httplib would otherwise answer every Range itself.
        req.ranges.clear();
      });
      t_raw_head.clear();
      if (!ret || connection_closed) break;
    }
  }
  if (ssl) {
    SSL_shutdown(ssl);
    SSL_free(ssl);
  }
  t_socket = -1;
  ::shutdown(sock, SHUT_RDWR);
  ::close(sock);
  return ret;
}

}  // namespace kestrano::standin
