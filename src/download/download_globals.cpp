#include "download/download_globals.h"

#include "download/thread_pool.h"

namespace kestrano {

std::unique_ptr<ThreadPool> g_pool;
Text g_output_folder;
std::unique_ptr<std::mutex> g_table_lock;

}  // namespace kestrano
