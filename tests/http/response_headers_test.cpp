// Reading a response's header lines and cookies: pure functions of the received bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "text/codepage.h"
#include "web/response_headers.h"

using namespace kestrano;

TEST(ResponseHeaders, OnlyTheLastResponseCountsWithoutStatusLine) {
  struct Case {
    std::string received;
    Text expected;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nA: 1\r\nB: 2\r\n\r\n", "A: 1\r\nB: 2"},
      {"HTTP/1.1 302 Found\r\nLocation: /x\r\nSet-Cookie: r=1\r\n\r\nHTTP/1.1 200 OK\r\nC: 3\r\n\r\n", "C: 3"},
      {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 404 Not Found\r\nD: 4\r\n\r\n", "D: 4"},
      {"HTTP/1.1 200 OK\nBare: lf\n\n", "Bare: lf"},
      {"HTTP/1.1 200 OK\r\nT: \xE4\xB8\xAD\r\n\r\n", "T: \xD6\xD0"},  // UTF-8 on the wire, GBK for the caller
      {"HTTP/1.1 200 OK\r\nset-cookie: a=1\r\nSET-COOKIE: b=2\r\n\r\n", "Set-Cookie: a=1\r\nSet-Cookie: b=2"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(response_header_text(c.received), c.expected) << c.received;
}

TEST(ResponseHeaders, SetCookieIsNormalisedInEveryLetterCase) {
  EXPECT_EQ(normalise_set_cookie("SET-COOKIE: c=3\r\nset-Cookie: d=4\r\nX: sEt-CoOkIe"),
            "Set-Cookie: c=3\r\nSet-Cookie: d=4\r\nX: Set-Cookie");
  EXPECT_EQ(normalise_set_cookie("Set-Cookies2: x"), "Set-Cookies2: x");
}

TEST(ResponseHeaders, CookiesFromSetCookieLines) {
  struct Case {
    Text headers, cookies;
  } cases[] = {
      {"Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2", "a=1; b=2"},  // the worked example, normalised
      {"Set-Cookie: c=3", "c=3"},
      {"Set-Cookie:  d=4 ;Secure\r\nContent-Type: text/html\r\nSet-Cookie:e=", "d=4; e="},
      {"Content-Type: text/html\r\nX: y", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(cookies_from_headers(c.headers), c.cookies) << c.headers;
}

// Random header texts from a small alphabet rich in the pieces that matter: whatever comes in, the
// results keep their shape.
TEST(ResponseHeaders, RandomInputKeepsTheInvariants) {
  const std::vector<std::string> pieces = {"HTTP/1.1 200 OK", "sEt-cOOkie", "Set-Cookie", ":", ";", "=", " ",
                                           "\r\n", "\n", "\r", "a", "\xD6\xD0", "\xE4\xB8\xAD", "\xA1", "HTTP/"};
  std::mt19937 random(20240601);
  for (int round = 0; round < 3000; ++round) {
    std::string received;
    const int count = static_cast<int>(random() % 24);
    for (int i = 0; i < count; ++i) received += pieces[random() % pieces.size()];
    const Text headers = response_header_text(received);
    EXPECT_EQ(headers.find("\r\n\r\n"), Text::npos) << received;
    EXPECT_NE(headers.substr(0, 2), "\r\n");
    for (int at = find(headers, "set-cookie", {1, true}); at != -1;
         at = find(headers, "set-cookie", {at + 1, true})) {
      EXPECT_EQ(headers.substr(static_cast<size_t>(at - 1), 10), "Set-Cookie") << received;
    }
    // One piece per line holding "Set-Cookie", and no piece holds a ";" of its own.
    int lines = 0;
    for (const Text& line : split(headers, "\r\n")) lines += contains(line, "Set-Cookie") ? 1 : 0;
    const Text cookies = cookies_from_headers(headers);
    if (lines == 0) {
      EXPECT_TRUE(cookies.empty()) << received;
    } else {
      EXPECT_EQ(std::count(cookies.begin(), cookies.end(), ';'), lines - 1) << received;
    }
  }
}
