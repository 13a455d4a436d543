// kestrano-standin: the stand-in service as a program, for demos, benchmarks and end-to-end tests.
// Prints the port it listens on (one line, the number alone) and serves until it has been idle for
// the given time.

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "standin_server.h"

namespace {

void usage() {
  std::fprintf(stderr,
               "usage: kestrano-standin [--port N] [--tls-cert FILE --tls-key FILE]\n"
               "                        [--idle-exit-seconds N] [--video-size BYTES]\n"
               "  --port 0 (the default) picks a free port; the port is printed on stdout.\n"
               "  --idle-exit-seconds 0 serves until killed; the default is 600.\n");
}

bool read_number(const char* text, long long& value) {
  std::string_view s(text);
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return ec == std::errc() && end == s.data() + s.size() && value >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  kestrano::standin::StandinConfig config;
  config.idle_exit = std::chrono::seconds(600);
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    long long n = 0;
    if (arg == "--help" || arg == "-h") {
      usage();
      return 0;
    } else if (arg == "--port" && value && read_number(value, n) && n < 65536) {
      config.port = static_cast<int>(n);
    } else if (arg == "--tls-cert" && value) {
      config.tls_cert_file = value;
    } else if (arg == "--tls-key" && value) {
      config.tls_key_file = value;
    } else if (arg == "--idle-exit-seconds" && value && read_number(value, n)) {
      config.idle_exit = std::chrono::seconds(n);
    } else if (arg == "--video-size" && value && read_number(value, n)) {
      config.video_size = static_cast<std::uint64_t>(n);
    } else {
      usage();
      return 2;
    }
    ++i;
  }
  if (config.tls_cert_file.empty() != config.tls_key_file.empty()) {
    std::fprintf(stderr, "kestrano-standin: --tls-cert and --tls-key go together\n");
    return 2;
  }
  kestrano::standin::StandinServer server(config);
  if (!server.start()) {
    std::fprintf(stderr, "kestrano-standin: cannot serve on port %d\n", config.port);
    return 1;
  }
  std::printf("%d\n", server.port());
  std::fflush(stdout);
  server.wait();
  return 0;
}
