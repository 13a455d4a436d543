#pragma once
// Where the settings file lives. Beside the executable when the program may write there, as a portable
// copy expects; an installed program's directory is not writable, and it would otherwise forget its
// settings at every start, so it falls back to the user's configuration directory.

#include <filesystem>

namespace kestrano {

// The rule itself: `run_directory`/配置文件.ini when it is writable, else
// `$XDG_CONFIG_HOME`/Kestrano/配置文件.ini, with `$HOME`/.config standing in for an unset or relative
// XDG_CONFIG_HOME. Null arguments are unset variables.
std::filesystem::path settings_file_path(const std::filesystem::path& run_directory, bool run_directory_writable,
                                         const char* xdg_config_home, const char* home);

// The rule applied to this process: its run directory, a real write probe and its environment. Call
// it once per run and keep the result, so reads and writes go to one file.
std::filesystem::path settings_file_path();

// True when a file can be created in the directory (tried, not guessed from permission bits, which
// say nothing for root or for a read-only mount).
bool directory_writable(const std::filesystem::path& directory);

}  // namespace kestrano
