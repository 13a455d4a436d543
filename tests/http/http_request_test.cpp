// http_request against the stand-in service, checked with the request the stand-in received.

#include "web/http_request.h"

#include <gtest/gtest.h>

#include "standin_fixture.h"
#include "text/codepage.h"

using namespace kestrano;
using Headers = std::vector<std::pair<std::string, std::string>>;

namespace {

class HttpRequest : public test::StandinTest {};

const char* const kDefaultUserAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
const char* const kFormType = "application/x-www-form-urlencoded";

}  // namespace

TEST_F(HttpRequest, WorkedExampleSendsSixHeadersInOrderAndReadsCookies) {
  const std::string u = respond_url(200, {"Set-Cookie: a=1; path=/", "set-cookie: b=2"}, "hello");
  HttpOptions o;
  o.headers = "User-Agent: X\r\nHost: h";
  HttpResult r = http_request(u, o);

  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(to_text(r.body), "hello");
  EXPECT_EQ(r.headers, "User-Agent: X\r\nHost: h\r\nAccept: */*\r\nReferer: " + u +
                           "\r\nAccept-Language: zh-cn\r\nContent-Type: " + kFormType);
  const auto sent = only_request();
  EXPECT_EQ(sent.method, "GET");
  EXPECT_EQ(sent.headers, (Headers{{"User-Agent", "X"},
                                   {"Host", "h"},
                                   {"Accept", "*/*"},
                                   {"Referer", u},
                                   {"Accept-Language", "zh-cn"},
                                   {"Content-Type", kFormType}}))
      << sent.raw_head;
  EXPECT_EQ(r.returned_cookies, "a=1; b=2");
  EXPECT_FALSE(r.cookies.has_value());
  EXPECT_NE(r.response_headers.find("Set-Cookie: a=1; path=/\r\n"), Text::npos) << r.response_headers;
  EXPECT_NE(r.response_headers.find("Set-Cookie: b=2"), Text::npos) << r.response_headers;
  EXPECT_EQ(r.response_headers.find("HTTP/1.1"), Text::npos);
}

TEST_F(HttpRequest, EmptyHeaderBlockSendsTheFiveDefaultsAfterTheTransportsHost) {
  const std::string u = url("/respond?status=204");
  HttpResult r = http_request(u);
  EXPECT_EQ(r.status, 204);
  EXPECT_EQ(r.headers, "Accept: */*\r\nReferer: " + u + "\r\nAccept-Language: zh-cn\r\nUser-Agent: " +
                           kDefaultUserAgent + "\r\nContent-Type: " + kFormType);
  // A GET carries the default Content-Type too; nothing else is added but the Host line HTTP needs.
  EXPECT_EQ(only_request().headers, (Headers{{"Host", "127.0.0.1:" + std::to_string(server.port())},
                                             {"Accept", "*/*"},
                                             {"Referer", u},
                                             {"Accept-Language", "zh-cn"},
                                             {"User-Agent", kDefaultUserAgent},
                                             {"Content-Type", kFormType}}));
}

TEST_F(HttpRequest, PresenceTestsAreCaseSensitiveAndSearchTheWholeBlock) {
  const std::string u = url("/respond?status=200");
  HttpOptions lower;
  lower.headers = "referer: x";
  http_request(u, lower);
  HttpOptions inside;
  inside.headers = "X-Note: see Referer: y";
  http_request(u, inside);

  auto sent = server.requests();
  ASSERT_EQ(sent.size(), 2u);
  // Both the caller's line and the default go out, in the block's order.
  EXPECT_EQ(sent[0].headers[1], (std::pair<std::string, std::string>{"referer", "x"}));
  EXPECT_EQ(sent[0].headers[3], (std::pair<std::string, std::string>{"Referer", u}));
  EXPECT_EQ(sent[1].header("X-Note"), "see Referer: y");
  int referers = 0;
  for (const auto& [name, value] : sent[1].headers) referers += name == "Referer" ? 1 : 0;
  EXPECT_EQ(referers, 0);
}

TEST_F(HttpRequest, MethodsOutsideTheTableSendGet) {
  const std::pair<int, std::string> cases[] = {{0, "GET"}, {1, "POST"}, {2, "HEAD"}, {5, "GET"}, {-1, "GET"}};
  for (const auto& [method, text] : cases) {
    server.clear_requests();
    HttpOptions o;
    o.method = method;
    HttpResult r = http_request(url("/respond?status=200&body=abc"), o);
    EXPECT_EQ(r.status, 200) << method;
    EXPECT_EQ(only_request().method, text) << method;
    EXPECT_EQ(to_text(r.body), method == 2 ? "" : "abc") << method;
  }
}

TEST_F(HttpRequest, BodiesGoOutAsUtf8AndBodyBytesWin) {
  HttpOptions text_only;
  text_only.method = 1;
  text_only.body_text = "workspage=ext={\"t\":\"中文\"}&pgext="_t;
  http_request(url("/respond?status=200"), text_only);

  HttpOptions both = text_only;
  both.body_bytes = {0x00, 0xFF, 'b'};
  http_request(url("/respond?status=200"), both);

  auto sent = server.requests();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].body, "workspage=ext={\"t\":\"\xE4\xB8\xAD\xE6\x96\x87\"}&pgext=");
  EXPECT_EQ(sent[0].header("Content-Length"), std::to_string(sent[0].body.size()));
  EXPECT_EQ(sent[1].body, std::string("\0\xFF" "b", 3));
  // curl's own additions for a POST stay out: no second Content-Type, no Expect.
  EXPECT_FALSE(sent[1].has_header("Expect"));
  int types = 0;
  for (const auto& h : sent[1].headers) types += h.first == "Content-Type" ? 1 : 0;
  EXPECT_EQ(types, 1);

  // A large body goes out at once too, without waiting for a "100 Continue".
  server.clear_requests();
  HttpOptions large;
  large.method = 1;
  large.headers = "Content-Type: application/octet-stream";  // httplib caps form bodies at 8 KiB
  large.body_bytes.assign(std::size_t{3} << 20, 'x');
  EXPECT_EQ(http_request(url("/respond?status=200"), large).status, 200);
  EXPECT_FALSE(only_request().has_header("Expect"));
  EXPECT_EQ(only_request().body.size(), large.body_bytes.size());
}

TEST_F(HttpRequest, ProxyCredentialsOnlyWithAProxyAndModeOne) {
  // The stand-in also answers requests in the absolute form a proxy receives.
  const std::string proxy = "127.0.0.1:" + std::to_string(server.port());
  const std::string target = "http://service.invalid/respond?status=200&body=via";
  struct Case {
    std::string proxy, user, password;
    int mode;
    std::string expected;  // empty: no Proxy-Authorization
  } cases[] = {
      {proxy, "user", "", 1, "Basic dXNlcjo="},  // "user:"
      {proxy, "user", "pw", 1, "Basic dXNlcjpwdw=="},
      {proxy, "user", "pw", 0, ""},
      {proxy, "", "pw", 1, ""},
  };
  for (const auto& c : cases) {
    server.clear_requests();
    HttpOptions o;
    o.proxy = c.proxy;
    o.proxy_user = c.user;
    o.proxy_password = c.password;
    o.proxy_auth_mode = c.mode;
    HttpResult r = http_request(target, o);
    EXPECT_EQ(to_text(r.body), "via");
    auto sent = only_request();
    EXPECT_TRUE(sent.proxied);
    EXPECT_EQ(sent.target, target);
    EXPECT_EQ(sent.header("Proxy-Authorization"), c.expected) << c.user << ":" << c.password << " mode " << c.mode;
  }
  server.clear_requests();
  HttpOptions direct;
  direct.proxy_user = "user";
  EXPECT_EQ(http_request(url("/respond?status=200"), direct).status, 200);
  EXPECT_FALSE(only_request().proxied);
  EXPECT_FALSE(only_request().has_header("Proxy-Authorization"));
}

TEST_F(HttpRequest, UpperCaseSetCookieIsNormalised) {
  HttpResult r = http_request(respond_url(200, {"SET-COOKIE: c=3"}));
  EXPECT_NE(r.response_headers.find("Set-Cookie: c=3"), Text::npos) << r.response_headers;
  EXPECT_EQ(r.response_headers.find("SET-COOKIE"), Text::npos);
  EXPECT_EQ(r.returned_cookies, "c=3");
}

TEST_F(HttpRequest, CookiesAreSentAndMergedOnlyWhenGivenAndMergingIsOn) {
  const std::string u = respond_url(200, {"Set-Cookie: b=3; path=/", "Set-Cookie: gone=deleted"});
  struct Case {
    std::optional<Text> cookies;
    bool merge;
    std::optional<Text> cookies_after;
    Text returned;
  } cases[] = {
      {Text("a=1; b=2; gone=x"), true, Text("b=3; a=1"), "b=3; a=1"},
      {Text("a=1; b=2; gone=x"), false, Text("a=1; b=2; gone=x"), "b=3; gone=deleted"},
      {Text(""), true, Text("b=3"), "b=3"},
      {std::nullopt, true, std::nullopt, "b=3; gone=deleted"},
  };
  for (const auto& c : cases) {
    server.clear_requests();
    HttpOptions o;
    o.cookies = c.cookies;
    o.auto_merge_cookies = c.merge;
    HttpResult r = http_request(u, o);
    EXPECT_EQ(r.cookies, c.cookies_after) << c.cookies.value_or("(omitted)");
    EXPECT_EQ(r.returned_cookies, c.returned) << c.cookies.value_or("(omitted)");
    const auto sent = only_request();
    EXPECT_EQ(sent.header("Cookie"), c.cookies.value_or(""));
    EXPECT_EQ(sent.has_header("Cookie"), c.cookies && !c.cookies->empty());
  }
  // Without Set-Cookie lines a given cookie text is still normalised by the merge.
  HttpOptions o;
  o.cookies = "x = 1; y=deleted";
  HttpResult r = http_request(url("/respond?status=200"), o);
  EXPECT_EQ(r.cookies, Text("x=1"));
  EXPECT_EQ(r.returned_cookies, "x=1");
}

TEST_F(HttpRequest, NoRedirectReturnsTheRedirectItself) {
  const std::string u = respond_url(302, {"Location: /respond?status=200&body=after", "Set-Cookie: r=1"});
  HttpOptions o;
  o.no_redirect = true;
  HttpResult r = http_request(u, o);
  EXPECT_EQ(r.status, 302);
  EXPECT_TRUE(r.body.empty());
  EXPECT_NE(r.response_headers.find("Location: /respond?status=200&body=after"), Text::npos);
  EXPECT_EQ(r.returned_cookies, "r=1");
  EXPECT_EQ(server.requests().size(), 1u);

  // Followed, only the final answer's headers and cookies remain.
  HttpResult followed = http_request(u);
  EXPECT_EQ(followed.status, 200);
  EXPECT_EQ(to_text(followed.body), "after");
  EXPECT_EQ(followed.response_headers.find("Location"), Text::npos);
  EXPECT_EQ(followed.returned_cookies, "");
}

TEST_F(HttpRequest, AFollowedRedirectToAnotherHostCarriesThatHost) {
  const std::string elsewhere = "http://localhost:" + std::to_string(server.port()) + "/respond?status=200&body=there";
  HttpOptions o;
  o.headers = "Host: 127.0.0.1:" + std::to_string(server.port()) + "\r\nX-First: 1";
  HttpResult r = http_request(respond_url(302, {"Location: " + elsewhere}), o);
  EXPECT_EQ(to_text(r.body), "there");
  auto sent = server.requests();
  ASSERT_EQ(sent.size(), 2u);
  int hosts = 0;
  for (const auto& h : sent[1].headers) hosts += h.first == "Host" ? 1 : 0;
  EXPECT_EQ(hosts, 1) << sent[1].raw_head;
  EXPECT_EQ(sent[1].header("Host"), "localhost:" + std::to_string(server.port()));
}

TEST_F(HttpRequest, ARedirectChainIsFollowedWithHttpOnly) {
  HttpResult r = http_request(url("/video/size100.redirect3/v.mp4"));
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body.size(), 100u);
  EXPECT_EQ(server.requests().size(), 4u);
}

TEST_F(HttpRequest, AReusedHolderKeepsOneConnection) {
  RequestObject holder;
  ASSERT_TRUE(holder.valid());
  HttpOptions o;
  o.request_object = &holder;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(http_request(url("/respond?status=200&body=x"), o).status, 200);
  EXPECT_EQ(server.connections(), 1);

  const int before = server.connections();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(http_request(url("/respond?status=200")).status, 200);
  EXPECT_EQ(server.connections() - before, 3);
}

TEST_F(HttpRequest, ErrorStatusesAreAnswersNotFailures) {
  HttpResult r = http_request(respond_url(404, {"X-Why: missing"}, "nope"));
  EXPECT_EQ(r.status, 404);
  EXPECT_EQ(to_text(r.body), "nope");
  EXPECT_NE(r.response_headers.find("X-Why: missing"), Text::npos);
}

TEST_F(HttpRequest, NonAsciiUrlAndHeaderValuesGoOutAsUtf8) {
  HttpOptions o;
  o.headers = "X-Title: 中文"_t;
  HttpResult r = http_request(url("/respond?status=200&body=ok&q=中"_t), o);
  EXPECT_EQ(r.status, 200);
  const auto sent = only_request();
  EXPECT_EQ(sent.target, "/respond?status=200&body=ok&q=%E4%B8%AD");
  EXPECT_EQ(sent.header("X-Title"), "\xE4\xB8\xAD\xE6\x96\x87");
}
