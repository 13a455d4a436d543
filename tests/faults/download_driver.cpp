// Downloads rows from a stand-in into a folder until it ends or is killed; killed_process_test
// kills it with SIGKILL in the middle.
//   faults_download_driver ORIGIN FOLDER COUNT SIZE
// Row k fetches ORIGIN/video/trickle1.size<SIZE>/k<k>.mp4 (every third one cut once, so it resumes).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "download/download_jobs.h"
#include "download/thread_pool.h"
#include "support/memory_window.h"
#include "text/codepage.h"
#include "web/encoding.h"

using namespace kestrano;

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s ORIGIN FOLDER COUNT SIZE\n", argv[0]);
    return 2;
  }
  const std::string origin = argv[1];
  const std::string folder = argv[2];
  const int count = std::atoi(argv[3]);
  const std::string size = argv[4];

  testing::MemoryWindow window;
  window.set_control_text(Control::output_folder, gbk_from_utf8(folder));
  for (int k = 0; k < count; ++k) {
    const std::string modes = (k % 3 == 2) ? "cut30000.times1.trickle1.size" : "trickle1.size";
    const std::string url = origin + "/video/" + modes + size + "/k" + std::to_string(k) + ".mp4";
    window.append_filled_row({Text(), "k" + std::to_string(k), "2024", "10", base64_encode(to_bytes(url))}, false);
  }
  ThreadPool pool;
  TransferOptions options;
  options.retry_pauses = {std::chrono::milliseconds(5)};
  DownloadJobs jobs(window, pool, gbk_from_utf8(folder), options);
  jobs.download_all();
  jobs.shutdown(std::chrono::seconds(5));
  pool.stop(0, 5000);
  int ok = 0;
  for (const auto& row : window.rows()) ok += row.cells[col_status] == status_succeeded();
  std::printf("%d\n", ok);
  return ok == count ? 0 : 1;
}
