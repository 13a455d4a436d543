#pragma once
// A stand-in for the short-video service on a loopback port: the works-list API, video files with
// fault modes, a generic answer endpoint, and a record of everything it received. Usable in-process
// (tests start it on port 0 and ask for the port) and as the kestrano-standin program. README.md
// describes the addresses it serves.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace kestrano::standin {

class RecordingServer;

struct StandinConfig {
  int port = 0;  // 0 picks a free port
  // Both set: serve HTTPS with this certificate chain and key (PEM files).
  std::string tls_cert_file;
  std::string tls_key_file;
  // End by itself after this long without a request or a running transfer; 0 = never.
  std::chrono::seconds idle_exit{0};
  std::uint64_t video_size = 256 * 1024;  // bytes of a video whose path names no size
  int worker_threads = 32;                // simultaneous connections it can serve
};

struct RecordedRequest {
  std::string method;
  std::string target;  // as sent: path and query, or the absolute form a proxy receives
  std::string path;    // the decoded path, without scheme and authority when proxied
  std::string query;
  std::vector<std::pair<std::string, std::string>> headers;  // in the order received
  std::string raw_head;  // request line and header lines exactly as received
  std::string body;
  int remote_port = 0;  // tells connections apart
  bool proxied = false;

  // The first header of that name (letter case ignored), or empty.
  std::string header(std::string_view name) const;
  bool has_header(std::string_view name) const;
};

class StandinServer {
 public:
  explicit StandinServer(StandinConfig config = {});
  ~StandinServer();  // stops and waits for its threads
  StandinServer(const StandinServer&) = delete;
  StandinServer& operator=(const StandinServer&) = delete;

  // Binds 127.0.0.1 and serves on threads of its own. False when the port or the TLS files fail.
  bool start();
  // Ends every connection and stall, waits for the threads. Safe to call more than once.
  void stop();
  // Blocks until the stand-in has stopped (by stop() or idle exit).
  void wait();
  bool running() const;

  int port() const { return port_; }
  bool tls() const { return tls_ctx_ != nullptr; }
  std::string origin() const;  // "http://127.0.0.1:PORT" or "https://..."

  std::vector<RecordedRequest> requests() const;
  void clear_requests();
  int connections() const;                // connections accepted so far
  int active_transfers() const;           // video answers being sent now
  int max_concurrent_transfers() const;   // the most video answers sent at once
  void reset_transfer_peak();

 private:
  struct SslCtxFree {
    void operator()(void* ctx) const;
  };

  void handle(const httplib::Request& req, httplib::Response& res);
  void serve_works_list(const httplib::Request& req, httplib::Response& res);
  void serve_video(const httplib::Request& req, httplib::Response& res, std::string_view path);
  void serve_respond(const httplib::Request& req, httplib::Response& res);
  RecordedRequest record(const httplib::Request& req);
  // Waits until `ms` pass (ms <= 0: no bound), the stand-in stops or the client of the calling worker
  // hangs up. True unless the full time passed.
  bool pause(int ms);
  void transfer_began();
  void transfer_ended();
  bool stopping() const;
  void request_stop();
  void watch_idle();

  StandinConfig config_;
  std::unique_ptr<void, SslCtxFree> tls_ctx_;
  std::unique_ptr<RecordingServer> server_;
  int port_ = 0;
  std::thread listener_;
  std::thread idle_watcher_;
  std::once_flag server_stopped_;
  std::mutex join_mutex_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool stopping_ = false;
  bool started_ = false;
  std::vector<RecordedRequest> requests_;
  int active_transfers_ = 0;
  int peak_transfers_ = 0;
  std::chrono::steady_clock::time_point last_activity_;
  std::map<std::string, int> path_hits_;  // requests per video path, for times<K>
};

}  // namespace kestrano::standin
