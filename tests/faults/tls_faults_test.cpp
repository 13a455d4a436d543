// A stand-in whose certificate is not trusted, or is made out for another host name: the works list
// and the downloads fail, and nothing is written. The same stand-in with its certificate trusted
// works, which shows the failures come from verification.
#include <cstdlib>

#include "collect/collection_globals.h"
#include "collect/service_origin.h"
#include "collect/share_link.h"
#include "collect/works_collector.h"
#include "fault_fixture.h"
#include "test_certificate.h"
#include "video_content.h"
#include "web/http_request.h"

namespace kestrano::faults {
namespace {

class TlsFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    root = scratch_folder();
    fs::remove_all(root);
    fs::create_directories(root / "certs");
    out = root / "out";
    window.set_control_text(Control::output_folder, gbk_from_utf8(out.string()));
  }
  void TearDown() override {
    if (jobs) jobs->shutdown(5s);
    jobs.reset();
    pool.stop(0, 5000);
    if (server) server->stop();
    fs::remove_all(root);
  }
  // Serves HTTPS with a fresh certificate for `names`.
  void serve_tls(const std::vector<std::string>& names) {
    ASSERT_TRUE(standin::write_test_certificate(root / "certs", "standin", names, cert));
    standin::StandinConfig config;
    config.tls_cert_file = cert.certificate.string();
    config.tls_key_file = cert.key.string();
    server = std::make_unique<standin::StandinServer>(config);
    ASSERT_TRUE(server->start());
  }
  std::string url(const std::string& host, const std::string& name) {
    return "https://" + host + ":" + std::to_string(server->port()) + "/video/size3000/" + name + ".mp4";
  }
  // Downloads one row per address with the given trust; the statuses they end with.
  std::vector<Text> download(const std::vector<std::string>& urls, const std::string& ca_file) {
    TransferOptions options;
    options.retry_pauses = {10ms};
    options.connect_timeout = 3000ms;
    options.ca_file = ca_file;
    window.delete_all_rows();
    for (const auto& u : urls) {
      window.append_filled_row({Text(), "证书"_t, "2024", "10", base64_encode(to_bytes(u))}, false);
    }
    jobs = std::make_unique<DownloadJobs>(window, pool, gbk_from_utf8((root / "default").string()), options);
    jobs->download_all();
    jobs.reset();
    std::vector<Text> s;
    for (const auto& row : window.rows()) s.push_back(row.cells[col_status]);
    return s;
  }

  std::unique_ptr<standin::StandinServer> server;
  standin::CertificateFiles cert;
  MemoryWindow window;
  ThreadPool pool;
  std::unique_ptr<DownloadJobs> jobs;
  fs::path root, out;
};

TEST_F(TlsFaults, DownloadsFailWithoutTrustAndWithTheWrongHostName) {
  serve_tls({"DNS:localhost", "IP:127.0.0.1"});
  // Not trusted: the system's store does not know the stand-in's certificate.
  EXPECT_EQ(download({url("127.0.0.1", "a"), url("localhost", "b")}, ""),
            std::vector<Text>(2, status_failed()));
  EXPECT_EQ(tree(out), std::vector<std::string>{});
  // Trusted: the same downloads work.
  EXPECT_EQ(download({url("127.0.0.1", "a")}, cert.certificate.string()), std::vector<Text>{status_succeeded()});
  EXPECT_EQ(read_all(out / "证书.mp4"), standin::video_bytes("a", 0, 3000));
}

TEST_F(TlsFaults, DownloadsFailWhenTheCertificateNamesAnotherHost) {
  serve_tls({"DNS:other.example"});
  EXPECT_EQ(download({url("127.0.0.1", "a"), url("localhost", "b")}, cert.certificate.string()),
            std::vector<Text>(2, status_failed()));
  EXPECT_EQ(tree(out), std::vector<std::string>{});
}

TEST_F(TlsFaults, TheWorksListRequestFailsWithTheWrongHostName) {
  // The collector's request routine, trusting the certificate, which is made out for another host.
  serve_tls({"DNS:other.example"});
  HttpOptions options;
  options.method = 1;
  options.body_text = "workspage=ext={\"authorId\":\"x\"}&refresh_state=2&pgext=";
  options.ca_file = gbk_from_utf8(cert.certificate.string());
  options.timeout_seconds = 3;
  for (const char* host : {"127.0.0.1", "localhost"}) {
    const HttpResult r =
        http_request(gbk_from_utf8(std::string("https://") + host + ":" + std::to_string(server->port()) + "/mvideo/api"),
                     options);
    EXPECT_EQ(r.status, 0) << host;
    EXPECT_TRUE(r.body.empty()) << host;
  }
  EXPECT_TRUE(server->requests().empty());
}

TEST_F(TlsFaults, ACollectionAgainstAnUntrustedServiceEndsWithItsFailureMessage) {
  serve_tls({"DNS:localhost", "IP:127.0.0.1"});
  const std::string origin = "https://localhost:" + std::to_string(server->port());
  // The collector must really be pointed at the stand-in, never at the service.
  ASSERT_TRUE(loopback_origin(origin).has_value());
  ASSERT_EQ(::setenv("KESTRANO_SERVICE_ORIGIN", origin.c_str(), 1), 0);
  ASSERT_EQ(current_service_origin().origin, origin);

  g_seen_video_ids = std::make_unique<std::set<Text>>();
  g_stop_requested = 0;
  window.set_control_text(Control::extract_button, caption_start());
  window.set_control_text(Control::author_link, sample_share_link());
  {
    WorksCollector collector(window);
    collector.on_extract_button_click();
    EXPECT_TRUE(window.wait_until([](MemoryWindow& w) { return !w.messages().empty(); }, 20s));
    EXPECT_TRUE(collector.shutdown(10s));
  }
  ::unsetenv("KESTRANO_SERVICE_ORIGIN");
  g_seen_video_ids.reset();
  ASSERT_EQ(window.messages().size(), 1u);
  EXPECT_EQ(window.messages()[0].first, "获取作品列表失败，采集已停止！"_t);
  EXPECT_EQ(window.row_count(), 0);
  EXPECT_TRUE(server->requests().empty());  // refused in the handshake, before any request
}

}  // namespace
}  // namespace kestrano::faults
