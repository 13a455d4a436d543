#pragma once
// Process-wide state of the works-list collection.

#include <atomic>
#include <memory>
#include <set>

#include "text/text.h"

namespace kestrano {

// 1 after a stop click; 0 after every start click. Written on the UI thread, read by the collector.
extern std::atomic<int> g_stop_requested;
// Set by the collector when a video id repeats; back to 0 when the collection ends because of it.
extern std::atomic<int> g_end_reached;
// Ids met in the current collection; created at program start, used by the collector thread only.
extern std::unique_ptr<std::set<Text>> g_seen_video_ids;

}  // namespace kestrano
