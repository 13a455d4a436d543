#pragma once
// The program's start and exit sequences.

#include <filesystem>
#include <memory>

#include "app/window_hooks.h"

namespace kestrano {

class MainWindow;
class WindowBridge;
class WindowPort;

// Runs the start sequence, then the message loop on the calling thread (which becomes the UI thread)
// until the window is gone, then the exit sequence. Returns 0.
int program_entry(int argc, char** argv);

// g_seen_video_ids, empty, then g_pool, not started, whose pumped waits process the window's events
// through `window`.
void create_globals(WindowPort& window);

// Releases g_window_title, g_seen_video_ids, g_output_folder and g_pool, in this order.
void release_globals();

// Sets g_window_title to "Kestrano" and opens the main window, whose created handler has run when
// this returns.
std::unique_ptr<MainWindow> open_main_window(WindowBridge& bridge, WindowHooks hooks,
                                             const std::filesystem::path& settings_file);

}  // namespace kestrano
