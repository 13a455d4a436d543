#pragma once
// The output folder: remembered in the settings file between runs, chosen with the folder chooser.

#include <QString>

#include <filesystem>

#include "text/text.h"

class QWidget;

namespace kestrano {

// Section 配置文件, key 保存目录 of the settings file; empty text when absent.
Text load_output_folder(const std::filesystem::path& settings_file);
// Failures are silent: the program runs on with the folder in the box.
void save_output_folder(const std::filesystem::path& settings_file, const Text& folder);

// The desktop folder with its separator, followed by "全民小视频下载目录"; the name alone when the
// platform knows no desktop.
Text default_output_folder();

// The folder chooser titled "设置视频输出位置", rooted at the desktop, folders only, with a field to
// type a folder name. The chosen path with native separators, or empty text when cancelled.
QString choose_folder(QWidget* owner);

}  // namespace kestrano
