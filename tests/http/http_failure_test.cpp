// Failures of http_request: each gives an empty body, empty response headers and status 0, and ends
// within its time limit plus a little.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "standin_fixture.h"
#include "test_certificate.h"
#include "video_content.h"
#include "web/http_request.h"

using namespace kestrano;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

class HttpFailure : public test::StandinTest {};

struct Timed {
  HttpResult result;
  milliseconds elapsed;
};

Timed timed_request(const std::string& url, const HttpOptions& options) {
  auto start = Clock::now();
  HttpResult r = http_request(url, options);
  return {std::move(r), std::chrono::duration_cast<milliseconds>(Clock::now() - start)};
}

void expect_failed(const HttpResult& r, const std::string& what) {
  EXPECT_EQ(r.status, 0) << what;
  EXPECT_TRUE(r.body.empty()) << what;
  EXPECT_TRUE(r.response_headers.empty()) << what;
}

// A loopback port nobody listens on: bound, then closed.
int closed_port() {
  int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(s);
  return ntohs(addr.sin_port);
}

const milliseconds kSlack{1500};  // scheduling and sanitizer overhead on a busy two-core machine

}  // namespace

TEST_F(HttpFailure, RefusedConnection) {
  HttpOptions o;
  o.cookies = "a = 1";
  auto [r, elapsed] = timed_request("http://127.0.0.1:" + std::to_string(closed_port()) + "/", o);
  expect_failed(r, "refused");
  EXPECT_LT(elapsed, kSlack);
  // Merging still applies to a given cookie text.
  EXPECT_EQ(r.cookies, Text("a=1"));
  EXPECT_EQ(r.returned_cookies, "a=1");
}

TEST_F(HttpFailure, AServerThatStopsSendingEndsTheCallAfterTheTimeout) {
  const std::pair<std::string, std::string> stalls[] = {
      {"/video/stall0/v.mp4", "after the headers"},
      {"/video/size500000.stall70000/v.mp4", "in the middle of the body"},
  };
  for (const auto& [path, what] : stalls) {
    HttpOptions o;
    o.timeout_seconds = 1;
    auto [r, elapsed] = timed_request(url(path), o);
    expect_failed(r, what);
    EXPECT_GE(elapsed, milliseconds(950)) << what;
    EXPECT_LT(elapsed, milliseconds(1000) + kSlack) << what;
  }
}

TEST_F(HttpFailure, AWorksListAnswerThatNeverComesEndsTheCall) {
  HttpOptions o;
  o.method = 1;
  o.timeout_seconds = 1;
  o.body_text = "workspage=ext={\"authorId\":\"fstall0\"}&refresh_state=2&pgext=";
  auto [r, elapsed] = timed_request(url("/mvideo/api?log=vhk"), o);
  expect_failed(r, "works list stall");
  EXPECT_LT(elapsed, milliseconds(1000) + kSlack);
}

TEST_F(HttpFailure, TheTimeoutBoundsEachWaitNotTheWholeCall) {
  // An answer that starts after two seconds: beyond a 1 s limit, within the default 15 s and within
  // the -1 limits (30 s for every wait).
  const std::string body = "workspage=ext={\"authorId\":\"v1_fstall2000\"}&refresh_state=2&pgext=";
  const std::pair<int, int> cases[] = {{1, 0}, {0, 200}, {-7, 200}, {3, 200}, {-1, 200}};
  std::vector<std::future<int>> statuses;  // side by side: each case waits two seconds
  for (const auto& [timeout, status] : cases) {
    HttpOptions o;
    o.method = 1;
    o.body_text = body;
    o.timeout_seconds = timeout;
    statuses.push_back(std::async(std::launch::async, [this, o] { return http_request(url("/mvideo/api?log=vhk"), o).status; }));
  }
  for (std::size_t i = 0; i < statuses.size(); ++i) {
    EXPECT_EQ(statuses[i].get(), cases[i].second) << "timeout " << cases[i].first;
  }
  // A trickle keeps a transfer alive far beyond the limit as long as data keeps coming.
  HttpOptions o;
  o.timeout_seconds = 1;
  auto [r, elapsed] = timed_request(url("/video/size8192.trickle250/t.mp4"), o);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body.size(), 8192u);
  EXPECT_GT(elapsed, milliseconds(1500));
}

TEST_F(HttpFailure, BodiesThatAreCutShortOrNeverEndAreFailures) {
  HttpOptions o;
  o.timeout_seconds = 2;
  for (const std::string path : {"/video/size100000.cut1000/v.mp4", "/video/size1000.badlen5000/v.mp4"}) {
    expect_failed(http_request(url(path), o), path);
  }
  // Data keeps coming, so no wait ever reaches the limit: the size limit ends an endless body, long
  // before t on loopback. The abort is only a net should that limit fail.
  o.timeout_seconds = 5;
  const auto give_up = Clock::now() + std::chrono::seconds(30);
  o.should_abort = [give_up] { return Clock::now() > give_up; };
  auto [r, elapsed] = timed_request(url("/video/endless/v.mp4"), o);
  expect_failed(r, "endless");
  EXPECT_LT(elapsed, milliseconds(5000) + kSlack);
}

TEST_F(HttpFailure, BodiesUpTo64MiBAreKept) {
  constexpr std::size_t limit = std::size_t{64} << 20;
  HttpResult at_limit = http_request(url("/video/size" + std::to_string(limit) + "/big.mp4"));
  EXPECT_EQ(at_limit.status, 200);
  EXPECT_EQ(at_limit.body.size(), limit);
  at_limit = {};
  expect_failed(http_request(url("/video/size" + std::to_string(limit + 1) + "/big.mp4")), "one byte over");
}

TEST_F(HttpFailure, RedirectsOnlyToHttpAndAtMostTen) {
  for (const std::string path :
       {"/video/redirectfile/v.mp4", "/video/redirectftp/v.mp4", "/video/redirectloop/v.mp4",
        "/video/redirect11/v.mp4"}) {
    expect_failed(http_request(url(path)), path);
  }
  EXPECT_EQ(http_request(url("/video/size10.redirect10/v.mp4")).status, 200);
  expect_failed(http_request("file:///etc/passwd"), "file url");
  expect_failed(http_request("ftp://127.0.0.1:" + std::to_string(server.port()) + "/x"), "ftp url");
}

TEST_F(HttpFailure, AnAbortEndsTheCallWithinAHundredMilliseconds) {
  std::atomic<bool> abort{false};
  std::atomic<Clock::rep> aborted_at{0};
  HttpOptions o;
  o.timeout_seconds = 30;
  o.should_abort = [&] { return abort.load(); };
  std::thread stopper([&] {
    // Abort once the stand-in has the request, so the call is really waiting.
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (server.requests().empty() && Clock::now() < deadline) std::this_thread::yield();
    aborted_at = Clock::now().time_since_epoch().count();
    abort = true;
  });
  HttpResult r = http_request(url("/video/stall0/v.mp4"), o);
  const auto ended = Clock::now();
  stopper.join();
  expect_failed(r, "aborted");
  EXPECT_LT(ended - Clock::time_point(Clock::duration(aborted_at.load())), milliseconds(100));

  // An abort that is already set sends nothing at all.
  server.clear_requests();
  expect_failed(http_request(url("/respond?status=200"), o), "aborted before");
  EXPECT_TRUE(server.requests().empty());
}

TEST_F(HttpFailure, AnAbortedHolderServesTheNextCall) {
  RequestObject holder;
  std::atomic<bool> abort{false};
  HttpOptions o;
  o.request_object = &holder;
  o.should_abort = [&] { return abort.load(); };
  std::thread stopper([&] {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (server.requests().empty() && Clock::now() < deadline) std::this_thread::yield();
    abort = true;
  });
  expect_failed(http_request(url("/video/stall0/v.mp4"), o), "aborted");
  stopper.join();
  abort = false;
  HttpResult r = http_request(url("/video/size64/v.mp4"), o);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, to_bytes(standin::video_bytes("v", 0, 64)));
}

class HttpTls : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() / ("kestrano-tls-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(standin::write_test_certificate(folder, "loopback", {"DNS:localhost", "IP:127.0.0.1"}, good));
    ASSERT_TRUE(standin::write_test_certificate(folder, "elsewhere", {"DNS:other.invalid"}, wrong_name));
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  static standin::StandinConfig config_for(const standin::CertificateFiles& files) {
    standin::StandinConfig config;
    config.tls_cert_file = files.certificate;
    config.tls_key_file = files.key;
    return config;
  }

  std::filesystem::path folder;
  standin::CertificateFiles good, wrong_name;
};

TEST_F(HttpTls, CertificatesAreVerified) {
  standin::StandinServer server(config_for(good));
  ASSERT_TRUE(server.start());
  const std::string u = server.origin() + "/respond?status=200&body=secure";
  HttpOptions o;
  o.timeout_seconds = 5;

  auto [untrusted, elapsed] = timed_request(u, o);
  expect_failed(untrusted, "untrusted");
  EXPECT_LT(elapsed, milliseconds(5000));

  o.ca_file = good.certificate.string();
  HttpResult trusted = http_request(u, o);
  EXPECT_EQ(trusted.status, 200);
  EXPECT_EQ(to_text(trusted.body), "secure");
  EXPECT_EQ(http_request("https://localhost:" + std::to_string(server.port()) + "/respond?status=200", o).status,
            200);
}

TEST_F(HttpTls, AHostNameTheCertificateDoesNotNameFails) {
  standin::StandinServer server(config_for(wrong_name));
  ASSERT_TRUE(server.start());
  HttpOptions o;
  o.ca_file = wrong_name.certificate.string();
  expect_failed(http_request(server.origin() + "/respond?status=200", o), "wrong host name");
}
