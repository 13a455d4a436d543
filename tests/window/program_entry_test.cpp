// The start and exit sequences, run whole as the executable runs them: the window opens with the
// globals in place, the close ends the loop, the settings file beside the executable is written, and
// the globals are released.

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/program_entry.h"
#include "app/qt_text.h"
#include "app/window_title.h"
#include "collect/collection_globals.h"
#include "download/download_globals.h"
#include "download/thread_pool.h"
#include "platform/ini_profile.h"
#include "platform/profile_file.h"
#include "platform/run_directory.h"
#include "text/codepage.h"

namespace kestrano {
namespace {

struct SeenWhileRunning {
  bool window_found = false;
  QString title;
  bool globals_created = false;
  bool table_lock_created = false;
};
SeenWhileRunning seen;

// Runs as the application object is built, before program_entry opens its window: it queues a look at
// the running program and the close of its window.
void look_and_close() {
  QTimer::singleShot(0, [] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* window = dynamic_cast<MainWindow*>(w);
      if (!window) continue;
      seen.window_found = window->isVisible();
      seen.title = window->windowTitle();
      seen.globals_created = g_seen_video_ids && g_seen_video_ids->empty() && g_pool &&
                             g_pool->get_state() == ThreadPool::kStopped && g_window_title == "Kestrano";
      seen.table_lock_created = g_table_lock != nullptr;
      window->findChild<QLineEdit*>(QStringLiteral("编辑框_输出位置"))->setText(QStringLiteral("/srv/视频"));
      window->close();
    }
  });
}

TEST(ProgramEntry, StartsRunsAndEnds) {
  const auto settings = run_directory() / "配置文件.ini";
  std::filesystem::remove(settings);
  qAddPreRoutine(look_and_close);
  char name[] = "kestrano";
  char* argv[] = {name, nullptr};
  EXPECT_EQ(program_entry(1, argv), 0);

  EXPECT_TRUE(seen.window_found);
  EXPECT_EQ(seen.title, QStringLiteral("Kestrano"));
  EXPECT_TRUE(seen.globals_created);
  EXPECT_TRUE(seen.table_lock_created);
  // The folder in the box when the window went is the one stored.
  EXPECT_EQ(read_profile_value(settings, "配置文件"_t, "保存目录"_t), "/srv/视频"_t);
  EXPECT_TRUE(g_window_title.empty());
  EXPECT_EQ(g_seen_video_ids, nullptr);
  EXPECT_EQ(g_pool, nullptr);
  EXPECT_TRUE(g_output_folder.empty());
  EXPECT_NE(g_table_lock, nullptr);  // lives until the process ends
  std::filesystem::remove(settings);
}

}  // namespace
}  // namespace kestrano

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
