#pragma once
// Process-wide state of the download commands.

#include <memory>
#include <mutex>

#include "text/text.h"

namespace kestrano {

class ThreadPool;

// The worker pool of "下载全部视频"; constructed at program start, destroyed at exit.
extern std::unique_ptr<ThreadPool> g_pool;
// The output folder as last taken from the window by a download command (UI thread only).
extern Text g_output_folder;
// Serialises the download tasks' reads and writes of the results list; created with the window and
// never deleted.
extern std::unique_ptr<std::mutex> g_table_lock;

}  // namespace kestrano
