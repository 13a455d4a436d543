// The output folder: the settings file read and written by the real window, and the folder chooser.

#include <QDir>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "app/qt_text.h"
#include "platform/ini_profile.h"
#include "text/codepage.h"
#include "window_fixture.h"

using namespace kestrano;
using namespace kestrano::test;

namespace {

const Text section = "配置文件"_t;
const Text key = "保存目录"_t;

}  // namespace

class SettingsTest : public QObject {
  Q_OBJECT

 public:
  explicit SettingsTest(const TestHome& home) : home_(home) {}

 private slots:
  void init() {
    QVERIFY(dir_.emplace().isValid());
    file_ = std::filesystem::path(dir_->path().toStdString()) / "配置文件.ini";
  }
  void cleanup() { dir_.reset(); }

  void first_start_without_a_file_writes_the_default() {
    OpenWindow open({}, file_);
    const QString expected = home_.desktop() + "/全民小视频下载目录";
    QCOMPARE(folder_box(open)->text(), expected);
    // Written at once, in code page 936.
    QCOMPARE(file_bytes(file_), "[配置文件]\r\n保存目录="_t + text_from_qstring(expected) + "\r\n");
  }

  void a_stored_folder_is_shown_and_written_back() {
    const Text stored = "[配置文件]\r\n保存目录=E:\\videos\r\n"_t;
    write_file(file_, stored);
    OpenWindow open({}, file_);
    QCOMPARE(folder_box(open)->text(), QStringLiteral("E:\\videos"));
    QCOMPARE(file_bytes(file_), stored);
  }

  void an_empty_value_counts_as_absent() {
    write_file(file_, "[配置文件]\r\n保存目录=\r\n"_t);
    OpenWindow open({}, file_);
    QCOMPARE(folder_box(open)->text(), home_.desktop() + "/全民小视频下载目录");
    QCOMPARE(read_profile_string(file_bytes(file_), section, key), text_from_qstring(home_.desktop() + "/全民小视频下载目录"));
  }

  void closing_stores_a_typed_path_and_keeps_other_settings() {
    write_file(file_, "[其他]\r\na=1\r\n[配置文件]\r\n保存目录=E:\\v\r\nx=2\r\n"_t);
    {
      OpenWindow open({}, file_);
      QLineEdit* box = folder_box(open);
      box->setFocus();
      box->selectAll();
      QTest::keyClicks(box, QStringLiteral("/data/"));
      // Chinese arrives through the input method.
      QInputMethodEvent typing;
      typing.setCommitString(QStringLiteral("我的视频"));
      QApplication::sendEvent(box, &typing);
      QCOMPARE(box->text(), QStringLiteral("/data/我的视频"));
      open.close_and_destroy();
    }
    QCOMPARE(file_bytes(file_), "[其他]\r\na=1\r\n[配置文件]\r\n保存目录=/data/我的视频\r\nx=2\r\n"_t);
  }

  void closing_stores_an_empty_box_and_the_next_start_shows_the_default() {
    {
      OpenWindow open({}, file_);
      folder_box(open)->clear();
      open.close_and_destroy();
    }
    QCOMPARE(file_bytes(file_), "[配置文件]\r\n保存目录=\r\n"_t);
    OpenWindow again({}, file_);
    QCOMPARE(folder_box(again)->text(), home_.desktop() + "/全民小视频下载目录");
  }

  void a_long_stored_value_is_cut() {
    write_file(file_, "[配置文件]\r\n保存目录=/"_t + Text(20000, 'a') + "\r\n");
    OpenWindow open({}, file_);
    QCOMPARE(folder_box(open)->text().size(), 10239);
  }

  void the_chooser_puts_a_folder_in_the_box() {
    OpenWindow open({}, file_);
    const QString clips = home_.desktop() + "/clips";
    QVERIFY(QDir().mkpath(clips));
    QString title;
    bool folders_only = false;
    QString start;
    when_modal<QFileDialog>([&](QFileDialog* dialog) {
      title = dialog->windowTitle();
      folders_only = dialog->fileMode() == QFileDialog::Directory && dialog->testOption(QFileDialog::ShowDirsOnly);
      start = dialog->directory().absolutePath();
      dialog->setDirectory(clips);
      QMetaObject::invokeMethod(dialog, "accept");
    });
    click_choose(open);
    QCOMPARE(title, QStringLiteral("设置视频输出位置"));
    QVERIFY(folders_only);
    QCOMPARE(start, QDir(home_.desktop()).absolutePath());
    QCOMPARE(folder_box(open)->text(), clips);
    // Not saved before the window goes.
    QCOMPARE(read_profile_string(file_bytes(file_), section, key), text_from_qstring(home_.desktop() + "/全民小视频下载目录"));
    open.close_and_destroy();
    QCOMPARE(read_profile_string(file_bytes(file_), section, key), text_from_qstring(clips));
  }

  void cancelling_the_chooser_changes_nothing() {
    OpenWindow open({}, file_);
    const QString before = folder_box(open)->text();
    when_modal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    click_choose(open);
    QCOMPARE(folder_box(open)->text(), before);
  }

  void refused_folders_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("message");
    QTest::newRow("file-system root") << "/" << "输出位置只能设置在文件夹内，不能设置在顶级磁盘中";
    // Code page 936 has no clapper board: the folder would turn into ".../?clips".
    QTest::newRow("character outside code page 936") << "DESKTOP/\U0001F3AC clips"
                                                     << "输出位置含有无法识别的字符，请选择其他文件夹";
  }

  void refused_folders() {
    QFETCH(QString, folder);
    QFETCH(QString, message);
    folder.replace("DESKTOP", home_.desktop());
    QVERIFY(QDir().mkpath(folder));
    OpenWindow open({}, file_);
    const QString before = folder_box(open)->text();
    QString seen_text, seen_title;
    bool information = false;
    when_modal<QFileDialog>([&](QFileDialog* dialog) {
      dialog->setDirectory(folder);
      // The message box comes up while the chooser's call is still on the stack.
      when_modal<QMessageBox>([&](QMessageBox* box) {
        seen_text = box->text();
        seen_title = box->windowTitle();
        information = box->icon() == QMessageBox::Information && box->windowModality() == Qt::ApplicationModal &&
                      box->parentWidget() == &open.window();
        box->button(QMessageBox::Ok)->click();
      });
      QMetaObject::invokeMethod(dialog, "accept");
    });
    click_choose(open);
    QCOMPARE(seen_text, message);
    QCOMPARE(seen_title, QStringLiteral("温馨提示"));
    QVERIFY(information);
    QCOMPARE(folder_box(open)->text(), before);
  }

 private:
  static QLineEdit* folder_box(OpenWindow& open) { return open.find<QLineEdit>("编辑框_输出位置"); }
  static void click_choose(OpenWindow& open) {
    QTest::mouseClick(open.find<QPushButton>("按钮_输出位置"), Qt::LeftButton);
  }

  const TestHome& home_;
  std::optional<QTemporaryDir> dir_;
  std::filesystem::path file_;
};

int main(int argc, char** argv) {
  TestHome home;
  QApplication application(argc, argv);
  SettingsTest test(home);
  return QTest::qExec(&test, argc, argv);
}

#include "settings_test.moc"
