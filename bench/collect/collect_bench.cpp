// bench/collect: the real window collects an author of 10,000 videos in pages of 20 from the
// stand-in, from the click on 按钮_提取视频 to the caption back at "提取视频" with every row in the
// table. Baseline in the same run: a bare libcurl loop over one kept-alive connection that replays
// the request bodies the program sent (500 pages and the repeat) and parses nothing.
//
// Figures: kestrano_s, baseline_s, ratio, rows, requests; and the CPU seconds the whole process used
// meanwhile (the in-process stand-in's included): kestrano_cpu_s, baseline_cpu_s.

#include <curl/curl.h>
#include <sys/resource.h>

#include <QApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../support/figures.h"
#include "../support/running_program.h"
#include "app/main_window.h"
#include "app/results_model.h"
#include "standin_server.h"
#include "web/curl_global.h"

namespace kestrano::bench {
namespace {

constexpr int kVideos = 10000;
const std::string kAuthor = "v10000_p20";

struct Replayed {
  double seconds = 0;
  int ok = 0;  // answers with status 200
};

double monotonic_seconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// CPU seconds this process has used so far, all threads (the stand-in's included).
double cpu_seconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::size_t discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

// What the program sent, sent again the plainest way libcurl allows: one easy handle (so one
// connection), the same header lines and bodies, the answers thrown away.
Replayed replay(const std::string& url, const std::vector<standin::RecordedRequest>& requests) {
  Replayed r;
  CURL* curl = curl_easy_init();
  curl_slist* headers = nullptr;
  for (const auto& [name, value] : requests.front().headers) {
    if (name == "Content-Length") continue;
    headers = curl_slist_append(headers, (name + ": " + value).c_str());
  }
  for (const char* suppressed : {"Accept:", "Expect:"}) {
    if (!requests.front().has_header(std::string_view(suppressed, std::strlen(suppressed) - 1)))
      headers = curl_slist_append(headers, suppressed);
  }
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  const auto start = std::chrono::steady_clock::now();
  for (const auto& request : requests) {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(request.body.size()));
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.c_str());
    long status = 0;
    if (curl_easy_perform(curl) == CURLE_OK && curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK &&
        status == 200)
      ++r.ok;
  }
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return r;
}

int run(int argc, char** argv) {
  QTemporaryDir folder;
  const std::filesystem::path base = folder.path().toStdString();
  prepare_environment(base / "home");
  QApplication application(argc, argv);
  ensure_curl_global_init();

  standin::StandinServer standin;
  if (!standin.start()) {
    std::fprintf(stderr, "collect: the stand-in did not start\n");
    return 1;
  }
  qputenv("KESTRANO_SERVICE_ORIGIN", standin.origin().c_str());

  RunningProgram program(base);
  program.set_author(kAuthor);
  // One collection first, unmeasured: connections, allocators and caches of both sides warm up.
  if (program.collect(std::chrono::seconds(300)) < 0) {
    std::fprintf(stderr, "collect: the warm-up collection did not end\n");
    return 1;
  }
  program.window().delete_all_rows();
  standin.clear_requests();

  const double cpu_start = cpu_seconds();
  const double clock_start = monotonic_seconds();
  const double kestrano = program.collect(std::chrono::seconds(300));
  const double kestrano_cpu = cpu_seconds() - cpu_start;
  // perf record -k CLOCK_MONOTONIC stamps its samples on this clock: perf report --time narrows to these.
  std::fprintf(stderr, "collect: measured collection from %.6f to %.6f (CLOCK_MONOTONIC)\n", clock_start,
               monotonic_seconds());
  const int rows = program.results().row_count();
  const auto requests = standin.requests();
  if (kestrano < 0 || requests.empty()) {
    std::fprintf(stderr, "collect: the collection did not end\n");
    return 1;
  }

  const double replay_cpu_start = cpu_seconds();
  const Replayed baseline = replay(standin.origin() + requests.front().target, requests);
  const double baseline_cpu = cpu_seconds() - replay_cpu_start;
  std::printf("collect: %d rows, %zu requests; kestrano %.3f s (%.3f s CPU), libcurl replay %.3f s (%.3f s CPU, %d "
              "answers)\n",
              rows, requests.size(), kestrano, kestrano_cpu, baseline.seconds, baseline_cpu, baseline.ok);
  figure("kestrano_s", kestrano);
  figure("baseline_s", baseline.seconds);
  figure("ratio", kestrano / baseline.seconds);
  figure("kestrano_cpu_s", kestrano_cpu);
  figure("baseline_cpu_s", baseline_cpu);
  figure("rows", rows);
  figure("requests", static_cast<double>(requests.size()));
  const bool complete = rows == kVideos && baseline.ok == static_cast<int>(requests.size());
  return complete ? 0 : 1;
}

}  // namespace
}  // namespace kestrano::bench

int main(int argc, char** argv) { return kestrano::bench::run(argc, argv); }
