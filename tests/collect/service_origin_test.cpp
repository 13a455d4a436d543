#include "collect/service_origin.h"

#include <gtest/gtest.h>

using namespace kestrano;

TEST(ServiceOrigin, OnlyLoopbackOriginsReplaceTheService) {
  struct Case {
    const char* value;
    const char* origin;  // nullptr: refused
    const char* host;
  } cases[] = {
      {"http://127.0.0.1:8080", "http://127.0.0.1:8080", "127.0.0.1:8080"},
      {"http://127.0.0.1:8080/", "http://127.0.0.1:8080", "127.0.0.1:8080"},
      {"https://localhost:9443", "https://localhost:9443", "localhost:9443"},
      {"http://[::1]:81", "http://[::1]:81", "[::1]:81"},
      {"http://127.12.0.9", "http://127.12.0.9", "127.12.0.9"},
      {"http://10.0.0.1:8080", nullptr, nullptr},
      {"http://127.0.0.1.evil.example", nullptr, nullptr},
      {"http://localhost.evil.example", nullptr, nullptr},
      {"http://127.0.0.256", nullptr, nullptr},
      {"http://127.0.0.1:80/path", nullptr, nullptr},
      {"http://127.0.0.1:99999", nullptr, nullptr},
      {"ftp://127.0.0.1", nullptr, nullptr},
      {"http://user@127.0.0.1", nullptr, nullptr},
      {"", nullptr, nullptr},
  };
  for (const auto& c : cases) {
    auto origin = loopback_origin(c.value);
    if (!c.origin) {
      EXPECT_FALSE(origin.has_value()) << c.value;
      continue;
    }
    ASSERT_TRUE(origin.has_value()) << c.value;
    EXPECT_EQ(origin->origin, c.origin);
    EXPECT_EQ(origin->host, c.host);
  }
}

TEST(ServiceOrigin, EnvironmentIsHonouredOnlyForLoopback) {
  setenv("KESTRANO_SERVICE_ORIGIN", "http://127.0.0.1:5000", 1);
  EXPECT_EQ(current_service_origin().origin, "http://127.0.0.1:5000");
  setenv("KESTRANO_SERVICE_ORIGIN", "http://192.168.1.2:5000", 1);
  EXPECT_EQ(current_service_origin().origin, "https://quanmin.baidu.com");
  unsetenv("KESTRANO_SERVICE_ORIGIN");
  EXPECT_EQ(current_service_origin().host, "quanmin.baidu.com");
}
