#pragma once
// Starting detached threads with a chosen stack size, which std::thread cannot do.

#include <cstddef>
#include <functional>

namespace kestrano {

// Starts `body` on a new detached thread. `stack_bytes` 0 means the platform's default stack. True when
// the thread was created (the body will run); false when it was not (the body never runs).
bool launch_thread(std::function<void()> body, std::size_t stack_bytes);

// How a ThreadPool starts its threads; launch_thread unless replaced (tests replace it to make thread
// creation fail). Must keep launch_thread's contract.
using ThreadLauncher = std::function<bool(std::function<void()> body, std::size_t stack_bytes)>;

// Names the calling thread where the platform supports it (seen in debuggers and /proc); at most 15
// characters are kept.
void name_this_thread(const char* name);

}  // namespace kestrano
