#pragma once
// The whole program as program_entry builds it (bridge, globals, collector, downloads, window), on
// the platform the application was started with, with its settings file in a folder of the caller's.
// Everything a benchmark does to it goes through the window: its controls, its button, its menu.

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "app/program.h"

class QPushButton;

namespace kestrano {
class MainWindow;
class ResultsModel;
}  // namespace kestrano

namespace kestrano::bench {

// Before the QApplication: the offscreen platform unless the caller chose one, and a private HOME so
// the desktop folder (the default output folder) is not the user's.
void prepare_environment(const std::filesystem::path& home);

class RunningProgram {
 public:
  explicit RunningProgram(const std::filesystem::path& folder, TransferOptions transfer = {});
  ~RunningProgram();

  Program& program() { return *program_; }
  MainWindow& window();
  ResultsModel& results();

  // A share link naming the stand-in author `author_id` (its grammar: tools/standin/README.md).
  void set_author(const std::string& author_id);
  void set_output_folder(const std::filesystem::path& folder);

  // The click on 按钮_提取视频.
  void click_extract();
  // The caption is back at "提取视频", the collector thread has ended and the view shows every row.
  bool collection_done();
  // Clicks and waits for the collection to end; its seconds, or a negative number after `limit`.
  double collect(std::chrono::seconds limit);
  // The menu command "下载全部视频"; returns when it has (the command waits for every task).
  void download_all();

  // How many rows hold this text in column 5.
  int rows_with_status(const Text& status);

 private:
  std::unique_ptr<Program> program_;
  QPushButton* extract_button_ = nullptr;
};

}  // namespace kestrano::bench
