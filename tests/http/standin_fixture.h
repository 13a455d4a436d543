#pragma once
// A stand-in service on a free loopback port for the duration of one test.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standin_server.h"

namespace kestrano::test {

class StandinTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.start()); }

  std::string url(const std::string& path) const { return server.origin() + path; }

  // The stand-in's generic answer: the given status, header lines and body.
  std::string respond_url(int status, const std::vector<std::string>& headers, const std::string& body = {}) const {
    std::string path = "/respond?status=" + std::to_string(status);
    for (const auto& h : headers) path += "&header=" + escape(h);
    if (!body.empty()) path += "&body=" + escape(body);
    return url(path);
  }

  standin::RecordedRequest only_request() const {
    auto all = server.requests();
    EXPECT_EQ(all.size(), 1u);
    return all.empty() ? standin::RecordedRequest{} : all.back();
  }

  static std::string escape(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
      if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
        out += static_cast<char>(c);
      } else {
        out += '%';
        out += hex[c >> 4];
        out += hex[c & 15];
      }
    }
    return out;
  }

  standin::StandinServer server;
};

}  // namespace kestrano::test
