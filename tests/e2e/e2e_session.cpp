#include "e2e_session.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QCursor>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "app/qt_text.h"
#include "collect/share_link.h"

namespace kestrano::e2e {

bool MessageWatcher::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show) {
    if (auto* box = qobject_cast<QMessageBox*>(watched)) {
      shown.push_back({box->text(), box->windowTitle(),
                       box->icon() == QMessageBox::Information && box->standardButtons() == QMessageBox::Ok});
      // Pressed from the box's own event loop, once it runs.
      QTimer::singleShot(0, box, [box] { box->button(QMessageBox::Ok)->click(); });
    }
  }
  return false;
}

QString share_link_for(const std::string& author_id) {
  QString link = qstring_from_text(sample_share_link());
  link.replace(QStringLiteral("Kq3vT8nWx2LcZp5RbY7hGd"), QString::fromStdString(author_id));
  return link;
}

TransferOptions test_transfers() {
  TransferOptions options;
  options.connect_timeout = std::chrono::milliseconds(5000);
  options.stall_window = std::chrono::milliseconds(5000);
  options.retry_pauses = {std::chrono::milliseconds(20)};
  options.max_retry_after = std::chrono::milliseconds(100);
  return options;
}

TransferOptions quick_failing_transfers() {
  TransferOptions options = test_transfers();
  options.stall_window = std::chrono::milliseconds(300);
  return options;
}

Session::Session(TransferOptions transfers) {
  standin_ = std::make_unique<standin::StandinServer>();
  if (!standin_->start()) qFatal("the stand-in cannot listen");
  // Read at each collection start.
  ::setenv("KESTRANO_SERVICE_ORIGIN", standin_->origin().c_str(), 1);

  const std::filesystem::path root = dir_.path().toStdString();
  folder_ = root / "输出";
  program_ = std::make_unique<Program>(ProgramOptions{root / "配置文件.ini", std::move(transfers)});
  // The folder the user would type or choose; it does not exist yet.
  find<QLineEdit>("编辑框_输出位置")->setText(QString::fromStdString(folder_.string()));
  QApplication::setActiveWindow(&window());
  if (!QTest::qWaitForWindowActive(&window())) qWarning("the window did not become active");
}

Session::~Session() {
  program_.reset();
  standin_.reset();
  ::unsetenv("KESTRANO_SERVICE_ORIGIN");
}

bool Session::paste_link(const QString& text) {
  auto* edit = find<QLineEdit>("编辑框_作者链接");
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  if (text.isEmpty()) {
    QTest::keyClick(edit, Qt::Key_Delete);
  } else {
    QGuiApplication::clipboard()->setText(text);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
  }
  return edit->text() == text;
}

void Session::click_extract() { QTest::mouseClick(find<QPushButton>("按钮_提取视频"), Qt::LeftButton); }

bool Session::use_menu(int row, QAction* action) {
  ResultsView& list = view();
  const QModelIndex index = list.model()->index(row, col_title);
  if (!index.isValid()) return false;
  list.scrollTo(index);
  const QPoint at = list.visualRect(index).center();
  if (!list.viewport()->rect().contains(at)) return false;
  QCursor::setPos(list.viewport()->mapToGlobal(at));
  QTest::mouseClick(list.viewport(), Qt::RightButton, {}, at);
  QMenu* popup = menu().menu;
  if (!popup->isVisible()) return false;
  QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(action).center());
  return !popup->isVisible();
}

bool Session::wait_collection_ended(int limit_ms) {
  return QTest::qWaitFor(
      [this] {
        return caption() == QStringLiteral("提取视频") && !program_->collector().running() &&
               model().rowCount() == model().row_count();
      },
      limit_ms);
}

bool Session::collect(const std::string& author_id) {
  if (!paste_author(author_id)) return false;
  click_extract();
  return wait_collection_ended();
}

QString Session::caption() { return find<QPushButton>("按钮_提取视频")->text(); }

QString Session::cell(int row, int column) { return qstring_from_text(model().cell(row, column)); }

QStringList Session::column(int column) {
  QStringList cells;
  for (int r = 0; r < model().row_count(); ++r) cells << cell(r, column);
  return cells;
}

int Session::count_status(const char* status_utf8) {
  return static_cast<int>(column(col_status).count(QString::fromUtf8(status_utf8)));
}

std::vector<standin::RecordedRequest> Session::works_requests() {
  std::vector<standin::RecordedRequest> out;
  for (auto& r : standin_->requests()) {
    if (r.path == "/mvideo/api") out.push_back(std::move(r));
  }
  return out;
}

std::vector<standin::RecordedRequest> Session::video_requests() {
  std::vector<standin::RecordedRequest> out;
  for (auto& r : standin_->requests()) {
    if (r.path.rfind("/video/", 0) == 0) out.push_back(std::move(r));
  }
  return out;
}

std::vector<std::string> Session::folder_entries() const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder_, ec)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string Session::file_bytes(const std::string& name) const {
  std::ifstream in(folder_ / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace kestrano::e2e
