// The stand-in service itself, through an independent client (cpp-httplib's), so its answers can be
// trusted by the tests that rely on them.

#include <gtest/gtest.h>
#include <httplib.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <memory>
#include <set>
#include <thread>

#include "author_shape.h"
#include "standin_fixture.h"
#include "video_content.h"

using namespace kestrano;
using nlohmann::json;

namespace {

class Standin : public test::StandinTest {
 protected:
  httplib::Client client() const {
    httplib::Client c("127.0.0.1", server.port());
    c.set_read_timeout(10, 0);
    return c;
  }

  httplib::Result works_page(const std::string& author_id, const std::string& token) const {
    const std::string body = "workspage=ext={\"metiaId\":\"1234567890123456\",\"authorType\":\"media\",\"authorId\":\"" +
                             author_id + "\"}&refresh_state=2&pgext=" + token;
    return client().Post("/mvideo/api?log=vhk", body, "application/x-www-form-urlencoded");
  }

  json works_json(const std::string& author_id, const std::string& token) const {
    auto res = works_page(author_id, token);
    EXPECT_TRUE(res);
    if (!res) return {};
    EXPECT_EQ(res->status, 200);
    return json::parse(res->body);
  }
};

}  // namespace

TEST_F(Standin, PagesLeadBackToTheFirstAfterTheLast) {
  std::string token;
  std::vector<std::string> ids;
  std::vector<std::string> tokens;
  for (int page = 0; page < 4; ++page) {
    json answer = works_json("v25_p10", token);
    const json& data = answer["workspage"]["data"];
    for (const auto& video : data["worksList"]) ids.push_back(video["videoInfo"]["vid"]);
    token = data["ext"];
    tokens.push_back(token);
  }
  EXPECT_EQ(tokens, (std::vector<std::string>{"{\"pn\":1}", "{\"pn\":2}", "{\"pn\":0}", "{\"pn\":1}"}));
  ASSERT_EQ(ids.size(), 35u);  // 10 + 10 + 5, then the first page again
  EXPECT_EQ(std::set<std::string>(ids.begin(), ids.begin() + 25).size(), 25u);
  EXPECT_EQ(std::vector<std::string>(ids.begin() + 25, ids.end()), std::vector<std::string>(ids.begin(), ids.begin() + 10));

  // The request the stand-in recorded is the one sent, body unescaped.
  auto last = server.requests().back();
  EXPECT_EQ(last.method, "POST");
  EXPECT_EQ(last.target, "/mvideo/api?log=vhk");
  EXPECT_NE(last.body.find("&refresh_state=2&pgext={\"pn\":0}"), std::string::npos);
}

TEST_F(Standin, AVideoCarriesTheFieldsTheCollectorReads) {
  json v = works_json("v3", "")["workspage"]["data"]["worksList"][1];
  EXPECT_EQ(v["title"], "作品2");
  EXPECT_EQ(v["videoInfo"]["publish_time"].get<std::string>().size(), 16u);
  EXPECT_EQ(v["videoInfo"]["duration"], 60);
  EXPECT_EQ(v["videoInfo"]["vid"], standin::video_id(1));
  EXPECT_EQ(v["videoInfo"]["multiClarity"][0]["videoPlayUrl"], url("/video/1000000001.mp4"));
}

TEST_F(Standin, AuthorShapesComeFromTheAuthorId) {
  auto list = [&](const std::string& id) { return works_json(id, "")["workspage"]["data"]["worksList"]; };

  json mixed = list("v10_p10_tmix");
  EXPECT_EQ(mixed[1]["title"], "标题：测试？");
  EXPECT_EQ(mixed[4]["title"], "");
  EXPECT_EQ(mixed[5]["title"], mixed[4]["title"]);  // a duplicate of the one before

  json missing = list("v5_miss");
  EXPECT_TRUE(missing[0].contains("title") && missing[0]["videoInfo"].contains("duration"));
  EXPECT_FALSE(missing[1].contains("title"));
  EXPECT_FALSE(missing[2]["videoInfo"].contains("publish_time"));
  EXPECT_FALSE(missing[3]["videoInfo"].contains("duration"));
  EXPECT_TRUE(missing[4]["videoInfo"]["multiClarity"].empty());

  json shaped = list("v4_d61_dupid2_bad4_playcut100.size200");
  EXPECT_EQ(shaped[0]["videoInfo"]["duration"], 61);
  EXPECT_EQ(shaped[2]["videoInfo"]["vid"], shaped[1]["videoInfo"]["vid"]);
  EXPECT_EQ(shaped[0]["videoInfo"]["multiClarity"][0]["videoPlayUrl"], url("/video/cut100.size200/1000000000.mp4"));
  EXPECT_EQ(shaped[3]["videoInfo"]["multiClarity"][0]["videoPlayUrl"], url("/video/status404/1000000003.mp4"));

  json empty = works_json("v0", "");
  EXPECT_TRUE(empty["workspage"]["data"]["worksList"].empty());
  EXPECT_FALSE(empty["workspage"]["data"].contains("ext"));

  // An ordinary authorId is the default author.
  EXPECT_EQ(list("kS3vyX9R0aLqT1bN2cD4fE").size(), 10u);
}

TEST_F(Standin, WorksListFaults) {
  auto page = works_page("fs503", "");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 503);

  page = works_page("fnotjson", "");
  ASSERT_TRUE(page);
  EXPECT_FALSE(json::accept(page->body));

  json error = works_json("ferror", "");
  EXPECT_FALSE(error.contains("workspage"));

  json types = works_json("v3_ftype", "");
  EXPECT_TRUE(types["workspage"]["data"]["ext"].is_number());
  EXPECT_TRUE(types["workspage"]["data"]["worksList"][0]["title"].is_number());
  EXPECT_TRUE(types["workspage"]["data"]["worksList"][0]["videoInfo"]["duration"].is_string());

  EXPECT_TRUE(works_json("v3_ftypelist", "")["workspage"]["data"]["worksList"].is_object());

  // at<N>: the first pages are answered normally.
  EXPECT_EQ(works_json("v30_fnotjson_at2", "{\"pn\":1}")["workspage"]["data"]["worksList"].size(), 10u);
  page = works_page("v30_fnotjson_at2", "{\"pn\":2}");
  ASSERT_TRUE(page);
  EXPECT_FALSE(json::accept(page->body));

  auto bad = client().Post("/mvideo/api?log=vhk", "nonsense", "text/plain");
  ASSERT_TRUE(bad);
  EXPECT_EQ(bad->status, 400);
}

TEST_F(Standin, VideoContentAndRanges) {
  auto whole = client().Get("/video/size100000/clip.mp4");
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->status, 200);
  EXPECT_EQ(whole->body, standin::video_bytes("clip", 0, 100000));
  EXPECT_EQ(whole->get_header_value("Accept-Ranges"), "bytes");
  const std::string etag = whole->get_header_value("ETag");
  EXPECT_FALSE(etag.empty());
  EXPECT_FALSE(whole->get_header_value("Last-Modified").empty());

  struct Case {
    httplib::Headers request;
    int status;
    std::string content_range;
    std::uint64_t first, count;
  } cases[] = {
      {{{"Range", "bytes=1000-1999"}}, 206, "bytes 1000-1999/100000", 1000, 1000},
      {{{"Range", "bytes=99990-"}}, 206, "bytes 99990-99999/100000", 99990, 10},
      {{{"Range", "bytes=-5"}}, 206, "bytes 99995-99999/100000", 99995, 5},
      {{{"Range", "bytes=100-200"}, {"If-Range", etag}}, 206, "bytes 100-200/100000", 100, 101},
      {{{"Range", "bytes=100-200"}, {"If-Range", "\"other\""}}, 200, "", 0, 100000},
      {{{"Range", "bytes=0-1,5-6"}}, 200, "", 0, 100000},
  };
  for (const auto& c : cases) {
    auto res = client().Get("/video/size100000/clip.mp4", c.request);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, c.status) << c.content_range;
    EXPECT_EQ(res->get_header_value("Content-Range"), c.content_range);
    EXPECT_EQ(res->body, standin::video_bytes("clip", c.first, c.count)) << c.content_range;
  }
  auto beyond = client().Get("/video/size100000/clip.mp4", {{"Range", "bytes=100000-"}});
  ASSERT_TRUE(beyond);
  EXPECT_EQ(beyond->status, 416);
  EXPECT_EQ(beyond->get_header_value("Content-Range"), "bytes */100000");

  auto ignored = client().Get("/video/size300.norange/clip.mp4", {{"Range", "bytes=10-19"}});
  ASSERT_TRUE(ignored);
  EXPECT_EQ(ignored->status, 200);
  EXPECT_EQ(ignored->body.size(), 300u);
  EXPECT_FALSE(ignored->has_header("Accept-Ranges"));
}

TEST_F(Standin, VideoFaultModes) {
  auto status = client().Get("/video/status418/v.mp4");
  ASSERT_TRUE(status);
  EXPECT_EQ(status->status, 418);

  auto busy = client().Get("/video/busy7/v.mp4");
  ASSERT_TRUE(busy);
  EXPECT_EQ(busy->status, 503);
  EXPECT_EQ(busy->get_header_value("Retry-After"), "7");

  // times<K>: the fault only for the first K requests of that path.
  for (int expected : {503, 503, 200, 200}) {
    auto res = client().Get("/video/busy1.times2.size10/w.mp4");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, expected);
  }

  auto redirect = client().Get("/video/size5.redirect2/v.mp4");
  ASSERT_TRUE(redirect);
  EXPECT_EQ(redirect->status, 302);
  EXPECT_EQ(redirect->get_header_value("Location"), "/video/size5.redirect1/v.mp4");
  auto loop = client().Get("/video/redirectloop/v.mp4");
  ASSERT_TRUE(loop);
  EXPECT_EQ(loop->get_header_value("Location"), "/video/redirectloop/v.mp4");

  // A cut connection gives the client fewer bytes than announced.
  std::string received;
  auto cut = client().Get("/video/size100000.cut3000/v.mp4", [&](const char* d, size_t n) {
    received.append(d, n);
    return true;
  });
  EXPECT_FALSE(cut);
  EXPECT_EQ(received, standin::video_bytes("v", 0, 3000));

  EXPECT_EQ(client().Get("/video/nonsense7/v.mp4")->status, 404);  // unknown token
}

TEST_F(Standin, CountsTheMostTransfersRunningAtOnce) {
  constexpr int kClients = 5;
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back([this, i] {
      // Each answer trickles for a while, so all of them overlap.
      auto res = client().Get("/video/size4096.trickle100/c" + std::to_string(i) + ".mp4");
      EXPECT_TRUE(res && res->body.size() == 4096u);
    });
  }
  for (auto& t : clients) t.join();
  EXPECT_EQ(server.max_concurrent_transfers(), kClients);
  // The server ends its side of a transfer just after the client has the last byte.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (server.active_transfers() != 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  EXPECT_EQ(server.active_transfers(), 0);
}

TEST_F(Standin, StopEndsStallsAtOnce) {
  std::thread stalled([this] { client().Get("/video/stall0/v.mp4"); });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (server.active_transfers() == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  const auto start = std::chrono::steady_clock::now();
  server.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  stalled.join();
  EXPECT_FALSE(server.running());
}

TEST(StandinIdle, EndsByItselfWhenIdle) {
  standin::StandinConfig config;
  config.idle_exit = std::chrono::seconds(1);
  standin::StandinServer server(config);
  ASSERT_TRUE(server.start());
  const auto start = std::chrono::steady_clock::now();
  server.wait();
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(900));
  EXPECT_LT(waited, std::chrono::seconds(5));
  EXPECT_FALSE(server.running());
}

TEST(StandinProgram, PrintsItsPortServesAndExitsWhenIdle) {
  std::unique_ptr<FILE, int (*)(FILE*)> program(
      ::popen(KESTRANO_STANDIN_PROGRAM " --port 0 --idle-exit-seconds 1 --video-size 1234", "r"), ::pclose);
  ASSERT_TRUE(program);
  int port = 0;
  ASSERT_EQ(std::fscanf(program.get(), "%d", &port), 1);
  ASSERT_GT(port, 0);
  httplib::Client c("127.0.0.1", port);
  auto res = c.Get("/video/p.mp4");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->body, standin::video_bytes("p", 0, 1234));
  EXPECT_EQ(::pclose(program.release()), 0);  // returns once the program has ended by itself
}
