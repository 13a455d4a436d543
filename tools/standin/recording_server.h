#pragma once
// cpp-httplib's server with a connection loop of our own: it keeps the request head exactly as it came
// off the wire (httplib's header map is sorted by name, so the order a client sent would be lost),
// serves TLS through an SSL_CTX it is given, counts connections, and leaves an idle keep-alive
// connection within a few milliseconds once the stand-in stops instead of after the keep-alive time.

#include <httplib.h>
#include <openssl/ssl.h>

#include <atomic>
#include <string>

namespace kestrano::standin {

class RecordingServer : public httplib::Server {
 public:
  // `tls` (may be null for plain HTTP) must outlive the server.
  explicit RecordingServer(SSL_CTX* tls) : tls_(tls) {}

  // Connection loops end at their next idle moment.
  void begin_stop() { stopping_ = true; }
  int connections() const { return connections_; }

  // The request line and header lines of the request being handled on the calling thread, as received.
  static const std::string& current_raw_head();
  // Whether the client of the connection the calling thread serves has hung up.
  static bool current_peer_gone();

 private:
  bool process_and_close_socket(socket_t sock) override;

  SSL_CTX* tls_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
};

}  // namespace kestrano::standin
