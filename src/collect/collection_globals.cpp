#include "collect/collection_globals.h"

namespace kestrano {

std::atomic<int> g_stop_requested{0};
std::atomic<int> g_end_reached{0};
std::unique_ptr<std::set<Text>> g_seen_video_ids;

}  // namespace kestrano
