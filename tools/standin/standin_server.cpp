#include "standin_server.h"

#include <httplib.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <cctype>

#include "recording_server.h"

#if defined(__SANITIZE_THREAD__)
// cpp-httplib is a prebuilt library without ThreadSanitizer instrumentation: its thread-safe static
// initialisations synchronise in code the sanitizer cannot see, so the copies it makes through
// intercepted calls look like races. Checking our own (instrumented) code stays on.
extern "C" const char* __tsan_default_options() { return "ignore_noninstrumented_modules=1"; }
#endif

namespace kestrano::standin {
namespace {

using Clock = std::chrono::steady_clock;

bool equal_ci(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view trim_blanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::vector<std::pair<std::string, std::string>> headers_in_order(std::string_view head) {
  std::vector<std::pair<std::string, std::string>> headers;
  bool first = true;
  while (!head.empty()) {
    auto end = head.find("\r\n");
    std::string_view line = head.substr(0, end);
    head = end == std::string_view::npos ? std::string_view{} : head.substr(end + 2);
    if (first) {  // the request line
      first = false;
      continue;
    }
    auto colon = line.find(':');
    if (line.empty() || colon == std::string_view::npos) continue;
    headers.emplace_back(std::string(line.substr(0, colon)), std::string(trim_blanks(line.substr(colon + 1))));
  }
  return headers;
}

}  // namespace

std::string RecordedRequest::header(std::string_view name) const {
  for (const auto& [n, v] : headers) {
    if (equal_ci(n, name)) return v;
  }
  return {};
}

bool RecordedRequest::has_header(std::string_view name) const {
  return std::any_of(headers.begin(), headers.end(), [&](const auto& h) { return equal_ci(h.first, name); });
}

void StandinServer::SslCtxFree::operator()(void* ctx) const { SSL_CTX_free(static_cast<SSL_CTX*>(ctx)); }

StandinServer::StandinServer(StandinConfig config) : config_(std::move(config)) {}

StandinServer::~StandinServer() { stop(); }

bool StandinServer::start() {
  if (started_) return false;
  started_ = true;
  if (!config_.tls_cert_file.empty() || !config_.tls_key_file.empty()) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    tls_ctx_.reset(ctx);
    if (!ctx || SSL_CTX_use_certificate_chain_file(ctx, config_.tls_cert_file.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx, config_.tls_key_file.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(ctx) != 1) {
      return false;
    }
  }
  server_ = std::make_unique<RecordingServer>(static_cast<SSL_CTX*>(tls_ctx_.get()));
  const int threads = std::max(2, config_.worker_threads);
  server_->new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
  server_->set_keep_alive_max_count(1000);
  server_->set_read_timeout(10);
  server_->set_write_timeout(10);
  // Answers go out in more than one write; without this, Nagle holds the second write back until the
  // client's delayed ACK, about 40 ms per answer on a kept-alive connection.
  server_->set_tcp_nodelay(true);
  auto handler = [this](const httplib::Request& req, httplib::Response& res) { handle(req, res); };
  server_->Get(".*", handler);
  server_->Post(".*", handler);
  server_->Put(".*", handler);
  server_->Patch(".*", handler);
  server_->Delete(".*", handler);
  server_->Options(".*", handler);

  if (config_.port == 0) {
    port_ = server_->bind_to_any_port("127.0.0.1");
  } else {
    port_ = server_->bind_to_port("127.0.0.1", config_.port) ? config_.port : -1;
  }
  if (port_ <= 0) {
    port_ = 0;
    return false;
  }
  last_activity_ = Clock::now();
  listener_ = std::thread([this] {
    server_->listen_after_bind();
    std::lock_guard lock(mutex_);
    stopping_ = true;
    changed_.notify_all();
  });
  // httplib ignores a stop() that comes before its accept loop runs, so wait for the loop to run.
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (!server_->is_running() && Clock::now() < deadline) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (config_.idle_exit.count() > 0) idle_watcher_ = std::thread([this] { watch_idle(); });
  return server_->is_running();
}

void StandinServer::request_stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (!server_) return;
  server_->begin_stop();
  std::call_once(server_stopped_, [this] { server_->stop(); });
}

void StandinServer::stop() {
  request_stop();
  wait();
}

void StandinServer::wait() {
  std::lock_guard join(join_mutex_);
  if (listener_.joinable()) listener_.join();
  if (idle_watcher_.joinable()) {
    request_stop();  // the listener ended by itself: the watcher must end too
    idle_watcher_.join();
  }
}

bool StandinServer::running() const { return server_ && server_->is_running(); }

std::string StandinServer::origin() const {
  return std::string(tls() ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

std::vector<RecordedRequest> StandinServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void StandinServer::clear_requests() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

int StandinServer::connections() const { return server_ ? server_->connections() : 0; }

int StandinServer::active_transfers() const {
  std::lock_guard lock(mutex_);
  return active_transfers_;
}

int StandinServer::max_concurrent_transfers() const {
  std::lock_guard lock(mutex_);
  return peak_transfers_;
}

void StandinServer::reset_transfer_peak() {
  std::lock_guard lock(mutex_);
  peak_transfers_ = active_transfers_;
}

bool StandinServer::stopping() const {
  std::lock_guard lock(mutex_);
  return stopping_;
}

void StandinServer::transfer_began() {
  std::lock_guard lock(mutex_);
  peak_transfers_ = std::max(peak_transfers_, ++active_transfers_);
  last_activity_ = Clock::now();
}

void StandinServer::transfer_ended() {
  std::lock_guard lock(mutex_);
  --active_transfers_;
  last_activity_ = Clock::now();
}

bool StandinServer::pause(int ms) {
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  std::unique_lock lock(mutex_);
  for (;;) {
    if (stopping_) return true;
    auto now = Clock::now();
    if (ms > 0 && now >= until) return false;
    auto slice = std::chrono::milliseconds(50);
    if (ms > 0) slice = std::min(slice, std::chrono::duration_cast<std::chrono::milliseconds>(until - now) +
                                            std::chrono::milliseconds(1));
    changed_.wait_for(lock, slice);
    if (RecordingServer::current_peer_gone()) return true;
  }
}

void StandinServer::watch_idle() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    changed_.wait_for(lock, std::chrono::milliseconds(100));
    if (!stopping_ && active_transfers_ == 0 && Clock::now() - last_activity_ >= config_.idle_exit) {
      lock.unlock();
      request_stop();
      return;
    }
  }
}

RecordedRequest StandinServer::record(const httplib::Request& req) {
  RecordedRequest r;
  r.method = req.method;
  r.target = req.target;
  r.body = req.body;
  r.remote_port = req.remote_port;
  r.raw_head = RecordingServer::current_raw_head();
  r.headers = headers_in_order(r.raw_head);
  std::string path = req.path;
  if (path.rfind("http://", 0) == 0 || path.rfind("https://", 0) == 0) {
    r.proxied = true;
    auto slash = path.find('/', path.find("://") + 3);
    path = slash == std::string::npos ? "/" : path.substr(slash);
  }
  r.path = path;
  if (auto q = req.target.find('?'); q != std::string::npos) r.query = req.target.substr(q + 1);
  std::lock_guard lock(mutex_);
  requests_.push_back(r);
  last_activity_ = Clock::now();
  return r;
}

void StandinServer::handle(const httplib::Request& req, httplib::Response& res) {
  const RecordedRequest r = record(req);
  if (r.path == "/mvideo/api") return serve_works_list(req, res);
  if (r.path.rfind("/video/", 0) == 0) return serve_video(req, res, r.path);
  if (r.path == "/respond") return serve_respond(req, res);
  res.status = 404;
  res.set_content("not found", "text/plain");
}

}  // namespace kestrano::standin
