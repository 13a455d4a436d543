#pragma once
// One end-to-end session: the stand-in service on a free loopback port, the program built as the
// executable builds it (its own settings file, a temporary output folder, short transfer bounds), and
// the user's side of it: pasting a link, clicking, the context menu, what the window shows and every
// message box it raises.

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program.h"
#include "app/results_model.h"
#include "app/results_view.h"
#include "standin_server.h"

namespace kestrano::e2e {

// A message box as the user saw it.
struct ShownMessage {
  QString text;
  QString title;
  bool information_with_ok = false;
};

// Records every message box when it shows and presses its OK button, as the user would.
class MessageWatcher : public QObject {
 public:
  MessageWatcher() { qApp->installEventFilter(this); }
  ~MessageWatcher() override { qApp->removeEventFilter(this); }
  std::vector<ShownMessage> shown;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

// The share link of the window's sample text, naming `author_id` instead of the sample author. The
// stand-in reads the author's shape from it.
QString share_link_for(const std::string& author_id);

// Transfer bounds for tests: sound transfers get a stall window no loaded machine comes near, so they
// are never retried; the tests of failing transfers shorten it, so that a stall costs milliseconds.
TransferOptions test_transfers();
TransferOptions quick_failing_transfers();

class Session {
 public:
  explicit Session(TransferOptions transfers = test_transfers());
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  standin::StandinServer& standin() { return *standin_; }
  Program& program() { return *program_; }
  MainWindow& window() { return program_->window(); }
  ResultsModel& model() { return window().results(); }
  ResultsView& view() { return window().results_view(); }
  const ContextMenu& menu() { return window().context_menu(); }
  const std::filesystem::path& folder() const { return folder_; }
  const std::vector<ShownMessage>& messages() const { return watcher_.shown; }
  template <typename Widget>
  Widget* find(const char* name) {
    return window().findChild<Widget*>(QString::fromUtf8(name));
  }

  // Ends the program as its exit does; the session's checks on files and the stand-in stay usable.
  void end_program() { program_.reset(); }

  // The user's actions.
  // Replaces the link box's content by `text` through the clipboard (select all, paste); an empty
  // text empties the box.
  bool paste_link(const QString& text);
  bool paste_author(const std::string& author_id) { return paste_link(share_link_for(author_id)); }
  void click_extract();
  // Right-clicks row `row` of the list (scrolled into view first), which selects it and opens the
  // context menu, and clicks `action` in it. Returns when the command has returned. False when the
  // menu did not open or the row does not show.
  bool use_menu(int row, QAction* action);

  // Waits until the caption is back at "提取视频" and the collector thread has ended, and the view
  // shows every row.
  bool wait_collection_ended(int limit_ms = 20000);
  // A collection of `author_id` from paste to end.
  bool collect(const std::string& author_id);

  // What the window shows.
  QString caption();
  QStringList column(int column);
  QString cell(int row, int column);
  int count_status(const char* status_utf8);

  // What the stand-in received.
  std::vector<standin::RecordedRequest> works_requests();
  std::vector<standin::RecordedRequest> video_requests();

  // Names in the output folder, sorted; empty when the folder does not exist.
  std::vector<std::string> folder_entries() const;
  std::string file_bytes(const std::string& name) const;

 private:
  QTemporaryDir dir_;
  std::filesystem::path folder_;
  std::unique_ptr<standin::StandinServer> standin_;
  MessageWatcher watcher_;
  std::unique_ptr<Program> program_;
};

// Statuses of column 5, as UTF-8 literals for comparisons with the window's texts.
inline QString downloading() { return QStringLiteral("正在下载……"); }
inline QString succeeded() { return QStringLiteral("下载成功"); }
inline QString failed() { return QStringLiteral("下载失败"); }

}  // namespace kestrano::e2e
