// Downloads from the real window's context menu against the stand-in service, on rows a real
// collection listed: files identical to what was served, the six-at-once bound, failures that leave
// nothing behind, equal titles, rows deleted while their downloads wait, and the window closed while
// downloads run.

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include "download/download_globals.h"
#include "download/thread_pool.h"
#include "author_shape.h"
#include "e2e_session.h"
#include "video_content.h"
#include "web/curl_global.h"
#include "window_fixture.h"

using namespace kestrano;
using namespace kestrano::e2e;

namespace {

std::string served(int video, std::size_t size) { return standin::video_bytes(standin::video_id(video), 0, size); }

bool has_temporary_file(const std::vector<std::string>& names) {
  for (const auto& n : names) {
    if (n.size() >= 5 && n.compare(n.size() - 5, 5, ".part") == 0) return true;
  }
  return false;
}

}  // namespace

class DownloadsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { s_ = std::make_unique<Session>(); }
  void cleanup() { s_.reset(); }

  // One row on a thread of its own: the command returns at once, the row goes through both statuses.
  void download_selected_row() {
    QVERIFY(s_->collect("v10_playsize70000.trickle2"));
    QStringList seen;  // the distinct statuses of row 3, in order
    connect(&s_->model(), &QAbstractItemModel::dataChanged, this, [&] {
      const QString status = s_->cell(3, col_status);
      if (!status.isEmpty() && (seen.isEmpty() || seen.last() != status)) seen << status;
    });
    QVERIFY(s_->use_menu(3, s_->menu().download_selected));
    QCOMPARE(s_->view().current_selection(), 3);
    QTRY_COMPARE_WITH_TIMEOUT(s_->cell(3, col_status), succeeded(), 20000);
    QCOMPARE(seen, (QStringList{downloading(), succeeded()}));
    QCOMPARE(s_->count_status("下载成功"), 1);
    QCOMPARE(s_->folder_entries(), std::vector<std::string>{"作品4.mp4"});
    QVERIFY(s_->file_bytes("作品4.mp4") == served(3, 70000));
    QCOMPARE(s_->video_requests().size(), std::size_t{1});
  }

  void download_all_ten_rows() {
    QVERIFY(s_->collect("v10_playsize300000.trickle1"));
    s_->standin().reset_transfer_peak();
    int rows_at_once = 0;  // the most rows seen downloading at the same time
    connect(&s_->model(), &QAbstractItemModel::dataChanged, this,
            [&] { rows_at_once = std::max(rows_at_once, s_->count_status("正在下载……")); });
    QVERIFY(s_->use_menu(0, s_->menu().download_all));  // returns when every row has ended
    QCOMPARE(s_->column(col_status), QStringList(10, succeeded()));
    const int peak = s_->standin().max_concurrent_transfers();
    const std::size_t requests = s_->video_requests().size();
    qInfo("at most %d transfers and %d downloading rows at once; %zu requests", peak, rows_at_once, requests);
    // A retried transfer would hold two connections for a moment: the count of requests tells.
    QVERIFY2(peak <= 6, qPrintable(QStringLiteral("%1 transfers over %2 requests").arg(peak).arg(requests)));
    QVERIFY(peak >= 2);
    QVERIFY(rows_at_once <= 6);
    QCOMPARE(requests, std::size_t{10});
    QCOMPARE(g_pool->get_state(), ThreadPool::kStopped);
    QCOMPARE(s_->folder_entries().size(), std::size_t{10});
    for (int k = 0; k < 10; ++k) {
      const std::string name = "作品" + std::to_string(k + 1) + ".mp4";
      QVERIFY2(s_->file_bytes(name) == served(k, 300000), name.c_str());
    }
  }

  void failed_downloads_data() {
    QTest::addColumn<QString>("author");
    QTest::newRow("404") << "v1_playstatus404";
    QTest::newRow("cut connection") << "v1_playcut1000.size1000000";
    QTest::newRow("stall") << "v1_playstall100.size1000000";
  }

  void failed_downloads() {
    QFETCH(QString, author);
    s_.reset();
    s_ = std::make_unique<Session>(quick_failing_transfers());
    QVERIFY(s_->collect(author.toStdString()));
    QVERIFY(s_->use_menu(0, s_->menu().download_all));
    QCOMPARE(s_->cell(0, col_status), failed());
    QVERIFY(!s_->video_requests().empty());
    QCOMPARE(s_->folder_entries(), std::vector<std::string>{});  // neither the file nor a temporary one
  }

  // Rows 1 and 11 of this author carry the same title. Each keeps its own file, also when downloaded
  // again.
  void equal_titles_two_files_each_rewritten() {
    QVERIFY(s_->collect("v11_tmix_playsize20000"));
    QCOMPARE(s_->cell(0, col_title), s_->cell(10, col_title));
    const std::string first = "春天的故事.mp4", second = "春天的故事 (2).mp4";
    // Downloads one row and waits until its file holds its video and the row says so.
    auto download = [&](int row, const std::string& file, int video) {
      return s_->use_menu(row, s_->menu().download_selected) && QTest::qWaitFor([&] {
               return s_->file_bytes(file) == served(video, 20000) && s_->cell(row, col_status) == succeeded();
             }, 20000);
    };
    QVERIFY(download(0, first, 0));
    QVERIFY(download(10, second, 10));
    QCOMPARE(s_->folder_entries(), (std::vector<std::string>{second, first}));

    // Spoil both, then download each again: each comes back as its own video, in its own file.
    for (const auto& name : {first, second}) test::write_file(s_->folder() / name, "spoilt");
    QVERIFY(download(10, second, 10));
    QVERIFY(download(0, first, 0));
    QCOMPARE(s_->folder_entries(), (std::vector<std::string>{second, first}));
  }

  // While "下载全部视频" runs six rows, the user deletes three whose downloads still wait, in front of
  // three others: the deleted ones are not fetched, and the rows behind them keep their own videos,
  // files and statuses.
  void rows_deleted_during_download_all() {
    QVERIFY(s_->collect("v12_playsize100000.trickle10"));
    QTimer deleter;
    bool deleted = false;
    connect(&deleter, &QTimer::timeout, this, [&] {
      if (s_->count_status("正在下载……") < 6) return;
      deleter.stop();
      deleted = s_->use_menu(6, s_->menu().delete_selected) && s_->use_menu(6, s_->menu().delete_selected) &&
                s_->use_menu(6, s_->menu().delete_selected);
    });
    deleter.start(5);
    QVERIFY(s_->use_menu(0, s_->menu().download_all));
    QVERIFY(deleted);
    const std::vector<int> kept = {0, 1, 2, 3, 4, 5, 9, 10, 11};
    QStringList titles;
    for (int k : kept) titles << QStringLiteral("作品%1").arg(k + 1);
    QCOMPARE(s_->column(col_title), titles);
    QCOMPARE(s_->column(col_order), (QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9"}));
    QCOMPARE(s_->column(col_status), QStringList(9, succeeded()));
    for (const auto& r : s_->video_requests()) {
      for (int k : {6, 7, 8}) QVERIFY2(r.path.find(standin::video_id(k)) == std::string::npos, r.path.c_str());
    }
    QCOMPARE(s_->folder_entries().size(), kept.size());
    for (int k : kept) {
      const std::string name = "作品" + std::to_string(k + 1) + ".mp4";
      QVERIFY2(s_->file_bytes(name) == served(k, 100000), name.c_str());
    }
  }

  // The window closed while six downloads run: the program ends within 5 s and leaves no file half
  // written.
  void closing_during_downloads() {
    constexpr std::size_t size = 5000000;
    QVERIFY(s_->collect("v8_playsize5000000.trickle10"));
    QTimer closer;
    QElapsedTimer since_start, since_close;
    int running_at_close = 0;
    qint64 close_ms = -1;
    connect(&closer, &QTimer::timeout, this, [&] {
      // Closes anyway after a while, so that a failure shows as one instead of a long wait.
      const bool six_running = s_->standin().active_transfers() >= 6 && has_temporary_file(s_->folder_entries());
      if (!six_running && since_start.elapsed() < 20000) return;
      closer.stop();
      running_at_close = s_->count_status("正在下载……");
      since_close.start();
      s_->window().close();
      close_ms = since_close.elapsed();
    });
    since_start.start();
    closer.start(5);
    QVERIFY(s_->use_menu(0, s_->menu().download_all));  // returns once the window has closed
    const qint64 command_ms = since_close.isValid() ? since_close.elapsed() : -1;
    QCOMPARE(running_at_close, 6);
    s_->end_program();
    const qint64 ended_ms = since_close.elapsed();
    qInfo("close: %lld ms, command returned after %lld ms, program ended after %lld ms", close_ms, command_ms,
          ended_ms);
    QVERIFY2(ended_ms < 5000, qPrintable(QString::number(ended_ms)));

    const auto names = s_->folder_entries();
    QVERIFY(!has_temporary_file(names));
    for (const auto& name : names) {
      const int k = std::stoi(name.substr(std::string("作品").size())) - 1;
      QVERIFY2(s_->file_bytes(name) == served(k, size), name.c_str());
    }
    QTRY_COMPARE_WITH_TIMEOUT(s_->standin().active_transfers(), 0, 5000);
  }

 private:
  std::unique_ptr<Session> s_;
};

int main(int argc, char** argv) {
  kestrano::test::TestHome home;
  QApplication application(argc, argv);
  kestrano::ensure_curl_global_init();
  DownloadsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "downloads_test.moc"
