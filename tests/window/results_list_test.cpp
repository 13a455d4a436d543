// The results list: its model, its view settings, its handlers, and the bridge that lets worker
// threads use it.

#include <QAbstractItemModelTester>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "app/qt_text.h"
#include "app/results_model.h"
#include "app/results_view.h"
#include "app/status_delegate.h"
#include "text/codepage.h"
#include "window_fixture.h"

using namespace kestrano;
using namespace kestrano::test;
using namespace std::chrono_literals;

// Catches what the window hands to the desktop.
class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> opened;

 public slots:
  void open(const QUrl& url) { opened.append(url); }
};

namespace {

Text base64_of(const QByteArray& bytes) { return bytes.toBase64().toStdString(); }

std::vector<Text> row_cells(int number, const Text& title, const Text& address = {}) {
  return {std::to_string(number), title, "2024-01-0"_t + std::to_string(number), "30", address, ""};
}

// Waits for a worker's result while the UI thread keeps handling events, as it does in the program.
template <typename T>
bool wait_pumping(std::future<T>& result, std::chrono::milliseconds limit = 20s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (result.wait_for(0ms) != std::future_status::ready) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

}  // namespace

class ResultsListTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    open_ = std::make_unique<OpenWindow>();
    view_ = open_->find<ResultsView>("超级列表框1");
  }
  void cleanup() {
    open_.reset();
    catcher_.opened.clear();
    QDesktopServices::unsetUrlHandler("https");
    QDesktopServices::unsetUrlHandler("http");
    QDesktopServices::unsetUrlHandler("file");
  }

  void columns_and_view_settings() {
    QHeaderView* header = view_->horizontalHeader();
    const QStringList headers = {"排序", "视频标题", "发布时间", "时长/秒", "视频地址", "下载状态"};
    const int widths[] = {50, 200, 140, 60, 235, 120};
    QCOMPARE(view_->model()->columnCount(), 6);
    for (int c = 0; c < 6; ++c) {
      QCOMPARE(view_->model()->headerData(c, Qt::Horizontal).toString(), headers[c]);
      QCOMPARE(header->sectionSize(c), widths[c]);
    }
    QVERIFY(!header->sectionsClickable());
    QVERIFY(!view_->isSortingEnabled());
    QVERIFY(view_->showGrid());
    QVERIFY(!view_->verticalHeader()->isVisible());
    QCOMPARE(view_->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(view_->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(view_->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(view_->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
  }

  void model_passes_the_model_tester() {
    ResultsModel& model = open_->window().results();
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int i = 1; i <= 5; ++i) model.append_filled_row(row_cells(i, "t"));
    QCOMPARE(model.append_row(), 5);
    model.set_cell(5, col_title, "x");
    model.set_cell(9, col_title, "ignored");
    model.set_cell(0, 6, "ignored");
    model.set_progress(model.row_id(2), {.done = 5, .total = 10, .bytes_per_second = 1, .active = true});
    model.delete_row(0);
    model.delete_row(99);
    model.delete_all_rows();
    model.delete_all_rows();
    QCOMPARE(model.row_count(), 0);
  }

  void rows_hold_cells_of_any_length_and_ignore_missing_positions() {
    ResultsModel& model = open_->window().results();
    const Text long_cell = base64_of(QByteArray(20000, 'a'));
    QCOMPARE(model.append_filled_row({"", "标题"_t, "t", "d", long_cell}), 0);
    QCOMPARE(model.append_filled_row({"", "b"}), 1);
    QCOMPARE(model.cell(0, col_order), Text("1"));  // an empty first cell is numbered
    QCOMPARE(model.cell(1, col_order), Text("2"));
    QCOMPARE(model.cell(0, col_address), long_cell);
    QCOMPARE(model.cell(0, col_title), "标题"_t);
    QCOMPARE(model.cell(0, col_status), Text());
    QCOMPARE(model.cell(2, 0), Text());
    QCOMPARE(model.cell(-1, 0), Text());
    QCOMPARE(model.cell(0, 6), Text());
    QCOMPARE(model.rowCount(), 0);  // the view learns of the rows with the next batch
    model.show_pending_rows();
    QCOMPARE(model.data(model.index(0, col_title), Qt::DisplayRole).toString(), QStringLiteral("标题"));
  }

  // The list operations see a new row at once; the view within a batch interval, scrolled to it.
  void appended_rows_reach_the_view_in_batches() {
    ResultsModel& model = open_->window().results();
    WindowBridge& bridge = open_->bridge();
    for (int i = 0; i < 100; ++i) bridge.append_filled_row({"", "t"}, true);
    QCOMPARE(model.row_count(), 100);
    QCOMPARE(bridge.cell(99, col_order), Text("100"));
    QTRY_COMPARE(model.rowCount(), 100);
    QVERIFY(view_->viewport()->rect().intersects(view_->visualRect(model.index(99, 0))));
    // A delete first shows what is pending, so positions mean the same to the view and the list.
    bridge.append_filled_row({"", "pending"}, false);
    model.delete_row(0);
    QCOMPARE(model.rowCount(), 100);
    QCOMPARE(model.data(model.index(99, col_title), Qt::DisplayRole).toString(), QStringLiteral("pending"));
  }

  void identities_follow_rows_through_deletes() {
    ResultsModel& model = open_->window().results();
    for (int i = 1; i <= 4; ++i) model.append_filled_row(row_cells(i, "t" + std::to_string(i)));
    const RowId third = model.row_id(2);
    QVERIFY(third != 0);
    model.delete_row(0);
    QCOMPARE(model.row_position(third), 1);
    QCOMPARE(model.cell(model.row_position(third), col_title), Text("t3"));
    model.delete_row(1);
    QCOMPARE(model.row_position(third), -1);
    QCOMPARE(model.row_id(7), RowId{0});
    // A new row never takes an old identity back.
    model.delete_all_rows();
    QVERIFY(model.row_id(model.append_row()) > third);
  }

  void delete_selected_renumbers_the_rest() {
    ResultsModel& model = open_->window().results();
    for (int i = 1; i <= 5; ++i) model.append_filled_row(row_cells(i, "t" + std::to_string(i)));
    model.show_pending_rows();
    select_row_by_mouse(2);
    QCOMPARE(view_->current_selection(), 2);
    open_->window().context_menu().delete_selected->trigger();
    QCOMPARE(model.row_count(), 4);
    QCOMPARE(view_->current_selection(), -1);  // the selection went with its row
    const char* titles[] = {"t1", "t2", "t4", "t5"};
    for (int r = 0; r < 4; ++r) {
      QCOMPARE(model.cell(r, col_order), std::to_string(r + 1));
      QCOMPARE(model.cell(r, col_title), Text(titles[r]));
      QCOMPARE(model.cell(r, col_publish_time), "2024-01-0"_t + (r < 2 ? std::to_string(r + 1) : std::to_string(r + 2)));
    }
    // Deleting another row leaves the selection on its row.
    select_row_by_mouse(2);
    open_->bridge().delete_row(0);
    QCOMPARE(view_->current_selection(), 1);
    QCOMPARE(model.cell(1, col_title), Text("t4"));
  }

  void delete_without_selection_and_delete_all() {
    ResultsModel& model = open_->window().results();
    open_->window().context_menu().delete_all->trigger();  // empty list: nothing happens
    for (int i = 1; i <= 3; ++i) model.append_filled_row(row_cells(i, "t"));
    QCOMPARE(view_->current_selection(), -1);
    open_->window().context_menu().delete_selected->trigger();
    QCOMPARE(model.row_count(), 3);
    open_->window().context_menu().delete_all->trigger();
    QCOMPARE(model.row_count(), 0);
  }

  void right_click_selects_and_pops_the_menu_at_the_cursor() {
    ResultsModel& model = open_->window().results();
    QMenu* menu = open_->window().context_menu().menu;
    // Also in an empty list.
    QCursor::setPos(300, 250);
    QTest::mouseClick(view_->viewport(), Qt::RightButton, {}, QPoint(200, 200));
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->pos(), QPoint(300, 250));
    menu->close();

    for (int i = 1; i <= 3; ++i) model.append_filled_row(row_cells(i, "t"));
    model.show_pending_rows();
    QCursor::setPos(310, 260);
    QTest::mouseClick(view_->viewport(), Qt::RightButton, {}, row_centre(1));
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(view_->current_selection(), 1);
    menu->close();
  }

  void double_click_opens_only_web_addresses_data() {
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<bool>("opened");
    QTest::newRow("https") << QByteArray("https://example.com/video/1.mp4?x=1&y=2") << true;
    QTest::newRow("http") << QByteArray("http://127.0.0.1:8080/v.mp4") << true;
    QTest::newRow("upper-case scheme") << QByteArray("HTTPS://example.com/v.mp4") << true;
    QTest::newRow("local path") << QByteArray("/usr/bin/xterm") << false;
    QTest::newRow("file url") << QByteArray("file:///usr/bin/xterm") << false;
    QTest::newRow("windows path") << QByteArray("C:\\Windows\\notepad.exe") << false;
    QTest::newRow("no host") << QByteArray("https:///etc/passwd") << false;
    QTest::newRow("empty") << QByteArray() << false;
  }

  void double_click_opens_only_web_addresses() {
    QFETCH(QByteArray, address);
    QFETCH(bool, opened);
    UrlCatcher& catcher = catcher_;
    for (const char* scheme : {"https", "http", "file"}) QDesktopServices::setUrlHandler(scheme, &catcher, "open");
    ResultsModel& model = open_->window().results();
    model.append_filled_row(row_cells(1, "other", base64_of("https://example.com/other.mp4")));
    model.append_filled_row(row_cells(2, "this", base64_of(address)));
    model.show_pending_rows();
    QTest::mouseDClick(view_->viewport(), Qt::LeftButton, {}, row_centre(1));
    QCOMPARE(view_->current_selection(), 1);
    if (opened) {
      QCOMPARE(catcher.opened.size(), 1);
      QCOMPARE(catcher.opened[0], QUrl(QString::fromUtf8(address)));
    } else {
      QCOMPARE(catcher.opened.size(), 0);
    }
  }

  void double_click_without_a_row_or_with_bad_base64_does_nothing() {
    UrlCatcher& catcher = catcher_;
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    QDesktopServices::setUrlHandler("file", &catcher, "open");
    ResultsModel& model = open_->window().results();
    model.append_filled_row(row_cells(1, "a", base64_of("https://example.com/a.mp4")));
    model.append_filled_row(row_cells(2, "b", "not base64!"));
    model.show_pending_rows();
    QTest::mouseDClick(view_->viewport(), Qt::LeftButton, {}, QPoint(100, view_->viewport()->height() - 5));
    QCOMPARE(view_->current_selection(), -1);
    QTest::mouseDClick(view_->viewport(), Qt::LeftButton, {}, row_centre(1));
    QCOMPARE(catcher.opened.size(), 0);
    // Enter on a selected row opens nothing either.
    view_->setFocus();
    QTest::keyClick(view_, Qt::Key_Return);
    select_row_by_mouse(0);
    QTest::keyClick(view_, Qt::Key_Return);
    QCOMPARE(catcher.opened.size(), 0);
  }

  void selection_shows_only_while_the_list_has_the_focus() {
    ResultsModel& model = open_->window().results();
    model.append_filled_row(row_cells(1, "a"));
    model.show_pending_rows();
    select_row_by_mouse(0);
    QTRY_VERIFY(view_->hasFocus());
    const QPoint probe = row_centre(0) + QPoint(60, 0);  // inside the title cell, right of its text
    QVERIFY(view_->viewport()->grab().toImage().pixelColor(probe) != QColor(Qt::white));
    open_->find<QLineEdit>("编辑框_作者链接")->setFocus();
    QTRY_VERIFY(!view_->hasFocus());
    QCOMPARE(view_->viewport()->grab().toImage().pixelColor(probe), QColor(Qt::white));
    QCOMPARE(view_->current_selection(), 0);  // hidden, not lost
  }

  void status_cell_paints_progress_behind_its_text() {
    ResultsModel& model = open_->window().results();
    model.append_filled_row(row_cells(1, "a"));
    model.show_pending_rows();
    model.set_cell(0, col_status, "正在下载……"_t);
    const QRect cell = view_->visualRect(model.index(0, col_status));
    const QPoint left(cell.left() + 4, cell.bottom() - 2);   // below the text, in the first quarter
    const QPoint right(cell.right() - 4, cell.bottom() - 2);  // below the text, in the last quarter
    auto colour_at = [&](QPoint p) { return view_->viewport()->grab().toImage().pixelColor(p); };
    QCOMPARE(colour_at(left), QColor(Qt::white));

    model.set_progress(model.row_id(0), {.done = 50, .total = 100, .bytes_per_second = 2048, .active = true});
    QVERIFY(colour_at(left) != QColor(Qt::white));
    QCOMPARE(colour_at(right), QColor(Qt::white));
    QCOMPARE(model.cell(0, col_status), "正在下载……"_t);
    QCOMPARE(model.data(model.index(0, col_status), Qt::DisplayRole).toString(), QStringLiteral("正在下载……"));

    model.set_progress(model.row_id(0), {.done = 100, .total = 100, .active = true});
    QVERIFY(colour_at(right) != QColor(Qt::white));

    model.set_progress(model.row_id(0), {});
    QCOMPARE(colour_at(left), QColor(Qt::white));
    QCOMPARE(colour_at(right), QColor(Qt::white));
  }

  void progress_labels() {
    QCOMPARE(progress_label(50, 200, 0), QStringLiteral("25%"));
    QCOMPARE(progress_label(300, 200, 0), QStringLiteral("100%"));
    QCOMPARE(progress_label(1536, -1, 0), QStringLiteral("2 KB"));
    QCOMPARE(progress_label(5 * 1024 * 1024, -1, 1.5 * 1024 * 1024), QStringLiteral("5.0 MB  1.5 MB/s"));
    QCOMPARE(progress_details(1536, 3 * 1024 * 1024, 512 * 1024), QStringLiteral("2 KB / 3.0 MB  512 KB/s"));
    QCOMPARE(progress_details(1536, -1, 0), QStringLiteral("2 KB"));
  }

  void worker_threads_use_the_list_through_the_bridge() {
    WindowBridge& bridge = open_->bridge();
    ResultsModel& model = open_->window().results();
    model.append_filled_row(row_cells(1, "ui"));
    model.show_pending_rows();
    select_row_by_mouse(0);

    struct Seen {
      int appended = -1, count = -1, selection = -2, position = -2;
      Text cell, link, caption;
      bool checked = true, set_by_id = false;
      RowId id = 0;
    };
    auto result = std::async(std::launch::async, [&bridge] {
      Seen s;
      s.appended = bridge.append_filled_row({"", "worker", "p", "9", "addr"}, true);
      bridge.set_cell(s.appended, col_status, "下载成功"_t);
      bridge.set_cell(50, col_status, "nowhere");
      s.cell = bridge.cell(s.appended, col_title);
      s.count = bridge.row_count();
      s.selection = bridge.current_selection();
      s.id = bridge.row_id(s.appended);
      s.position = bridge.row_position(s.id);
      s.set_by_id = bridge.set_cell_of(s.id, col_duration, "10");
      bridge.set_progress(s.id, {.done = 1, .total = 2, .active = true});
      s.link = bridge.control_text(Control::author_link);
      s.checked = bridge.is_checked(Control::duration_check);
      bridge.set_control_text(Control::extract_button, "停止提取"_t);
      s.caption = bridge.control_text(Control::extract_button);
      bridge.scroll_into_view(s.appended);
      bridge.pump_if_input();  // nothing on a worker
      return s;
    });
    QVERIFY(wait_pumping(result));
    Seen s = result.get();
    QCOMPARE(s.appended, 1);
    QCOMPARE(s.cell, Text("worker"));
    QCOMPARE(s.count, 2);
    QCOMPARE(s.selection, 0);
    QCOMPARE(s.position, 1);
    QVERIFY(s.set_by_id);
    QCOMPARE(s.link, text_from_qstring(open_->find<QLineEdit>("编辑框_作者链接")->text()));
    QVERIFY(!s.checked);
    QCOMPARE(s.caption, "停止提取"_t);
    QCOMPARE(open_->find<QPushButton>("按钮_提取视频")->text(), QStringLiteral("停止提取"));
    QCOMPARE(model.cell(1, col_order), Text("2"));
    QCOMPARE(model.cell(1, col_status), "下载成功"_t);
    QCOMPARE(model.cell(1, col_duration), Text("10"));
    QVERIFY(model.progress(1)->active);
    QCOMPARE(model.row_count(), 2);
  }

  void a_worker_message_box_waits_for_ok() {
    WindowBridge& bridge = open_->bridge();
    QString seen_text, seen_title;
    bool information = false;
    when_modal<QMessageBox>([&](QMessageBox* box) {
      seen_text = box->text();
      seen_title = box->windowTitle();
      information = box->icon() == QMessageBox::Information && box->standardButtons() == QMessageBox::Ok &&
                    box->windowModality() == Qt::ApplicationModal;
      box->button(QMessageBox::Ok)->click();
    });
    auto result = std::async(std::launch::async, [&bridge] {
      bridge.message_box("输入采集的作者链接"_t, "温馨提示"_t);
      return true;
    });
    QVERIFY(wait_pumping(result));
    QCOMPARE(seen_text, QStringLiteral("输入采集的作者链接"));
    QCOMPARE(seen_title, QStringLiteral("温馨提示"));
    QVERIFY(information);
  }

  void pump_on_the_ui_thread_runs_pending_work() {
    bool ran = false;
    QMetaObject::invokeMethod(qApp, [&ran] { ran = true; }, Qt::QueuedConnection);
    open_->bridge().pump_if_input();
    QVERIFY(ran);
  }

  // A worker blocked in a call while the UI thread handles nothing must come back when the window
  // closes, and its call must never run later.
  void closing_releases_a_blocked_worker() {
    WindowBridge& bridge = open_->bridge();
    std::atomic<bool> calling{false};
    auto result = std::async(std::launch::async, [&] {
      calling = true;
      return bridge.append_row();
    });
    while (!calling) std::this_thread::yield();
    open_->window().close();
    QCOMPARE(result.wait_for(10s), std::future_status::ready);
    QCOMPARE(result.get(), -1);
    QVERIFY(bridge.closing());
    QCoreApplication::processEvents();
    QCOMPARE(open_->window().results().row_count(), 0);
    // From now on every call returns at once, on any thread.
    QCOMPARE(bridge.row_count(), 0);
    QCOMPARE(bridge.current_selection(), -1);
    auto later = std::async(std::launch::async, [&bridge] { return bridge.control_text(Control::author_link); });
    QCOMPARE(later.wait_for(10s), std::future_status::ready);
    QCOMPARE(later.get(), Text());
  }

  void closing_while_workers_stream_rows() {
    WindowBridge& bridge = open_->bridge();
    std::atomic<int> appended{0};
    auto writer = [&] {
      while (!bridge.closing()) {
        if (bridge.append_filled_row({"", "row"}, true) >= 0) ++appended;
        bridge.set_progress(bridge.row_id(0), {.done = 1, .active = true});
      }
    };
    auto a = std::async(std::launch::async, writer);
    auto b = std::async(std::launch::async, writer);
    QTRY_VERIFY(appended > 200);
    open_->window().close();
    QCOMPARE(a.wait_for(10s), std::future_status::ready);
    QCOMPARE(b.wait_for(10s), std::future_status::ready);
  }

  void many_rows_stay_fast() {
    WindowBridge& bridge = open_->bridge();
    ResultsModel& model = open_->window().results();
    constexpr int rows = 20000;
    QElapsedTimer clock;
    clock.start();
    auto result = std::async(std::launch::async, [&bridge] {
      for (int i = 0; i < rows; ++i) {
        bridge.append_filled_row({"", "title", "2024-01-01 10:00", "30", "aHR0cHM6Ly9leGFtcGxlLmNvbS8x"}, true);
      }
      return true;
    });
    QVERIFY(wait_pumping(result, 120s));
    const qint64 append_ms = clock.elapsed();
    QCOMPARE(model.row_count(), rows);
    QTRY_COMPARE(model.rowCount(), rows);
    // The list followed the newest row.
    QCOMPARE(view_->verticalScrollBar()->value(), view_->verticalScrollBar()->maximum());
    QVERIFY(view_->viewport()->rect().intersects(view_->visualRect(model.index(rows - 1, 0))));

    clock.restart();
    view_->selectRow(0);
    open_->window().delete_selected_row();
    const qint64 delete_ms = clock.elapsed();
    QCOMPARE(model.row_count(), rows - 1);
    QCOMPARE(model.cell(rows - 2, col_order), std::to_string(rows - 1));
    qInfo("20000 rows appended from a worker in %lld ms; renumbered in %lld ms", append_ms, delete_ms);
    // Generous bounds (about ten times what a loaded two-core machine takes): they catch a repaint
    // or a layout per row, not a slow machine.
    QVERIFY2(append_ms < 15000, qPrintable(QString::number(append_ms)));
    QVERIFY2(delete_ms < 15000, qPrintable(QString::number(delete_ms)));
  }

 private:
  QPoint row_centre(int row) const { return view_->visualRect(view_->model()->index(row, 1)).center(); }

  void select_row_by_mouse(int row) {
    QTest::mouseClick(view_->viewport(), Qt::LeftButton, {}, row_centre(row));
  }

  std::unique_ptr<OpenWindow> open_;
  ResultsView* view_ = nullptr;
  UrlCatcher catcher_;
};

int main(int argc, char** argv) {
  TestHome home;
  QApplication application(argc, argv);
  ResultsListTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "results_list_test.moc"
