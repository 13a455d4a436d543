#pragma once
// Waiting on the UI thread while its event loop runs, as the program's own waits do.

#include <chrono>
#include <functional>

namespace kestrano::bench {

// Runs the event loop until `done` holds or `limit` passes; true when it holds. `done` is looked at
// each time the loop has nothing left to do and is about to sleep, so the moment it first holds is
// seen without a polling timer loading the thread being measured.
bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds limit);

// Runs the event loop for `duration`.
void run_events_for(std::chrono::milliseconds duration);

}  // namespace kestrano::bench
