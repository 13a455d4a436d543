// The form and the keyboard and mouse behaviour of the real main window.

#include <QCheckBox>
#include <QClipboard>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "app/fonts.h"
#include "app/integer_edit.h"
#include "app/qt_text.h"
#include "app/results_model.h"
#include "app/results_view.h"
#include "collect/share_link.h"
#include "text/codepage.h"
#include "window_fixture.h"

using namespace kestrano;
using namespace kestrano::test;

class MainWindowTest : public QObject {
  Q_OBJECT

 public:
  explicit MainWindowTest(const TestHome& home) : home_(home) {}

 private slots:
  void init() {
    extract_clicks_ = 0;
    WindowHooks hooks;
    hooks.extract_click = [this] { ++extract_clicks_; };
    open_ = std::make_unique<OpenWindow>(hooks);
  }
  void cleanup() { open_.reset(); }

  void window_frame_and_caption() {
    MainWindow& w = open_->window();
    QCOMPARE(w.windowTitle(), QStringLiteral("Kestrano"));
    QCOMPARE(w.size(), QSize(867, 573));
    QCOMPARE(w.minimumSize(), w.maximumSize());  // not resizable
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(w.windowFlags() & Qt::WindowCloseButtonHint);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(w.pos(), QPoint(screen.x() + (screen.width() - 872) / 2, screen.y() + (screen.height() - 600) / 2));
  }

  void control_geometry_and_text_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("in_client");
    QTest::addColumn<QString>("text");
    QTest::newRow("外形框_底图") << "外形框_底图" << QRect(0, 0, 867, 573) << QString();
    QTest::newRow("分组框1") << "分组框1" << QRect(8, 8, 850, 110) << "控制面板";
    QTest::newRow("分组框2") << "分组框2" << QRect(8, 122, 850, 442) << "视频列表/双击播放预览视频/鼠标右键下载";
    QTest::newRow("标签1") << "标签1" << QRect(20, 36, 80, 24) << "作者主页链接：";
    QTest::newRow("编辑框_作者链接") << "编辑框_作者链接" << QRect(102, 38, 744, 20)
                                     << QString::fromStdU16String(utf16_from_gbk(sample_share_link()));
    QTest::newRow("标签3") << "标签3" << QRect(20, 70, 80, 24) << "输出文件位置：";
    QTest::newRow("编辑框_输出位置") << "编辑框_输出位置" << QRect(102, 72, 386, 20)
                                     << home_.desktop() + "/全民小视频下载目录";
    QTest::newRow("按钮_输出位置") << "按钮_输出位置" << QRect(488, 70, 34, 20) << "选择";
    QTest::newRow("选择框_时长控制") << "选择框_时长控制" << QRect(536, 70, 68, 24) << "时长控制";
    QTest::newRow("编辑框_时长控制") << "编辑框_时长控制" << QRect(608, 72, 32, 20) << QString();
    QTest::newRow("标签2") << "标签2" << QRect(644, 70, 44, 24) << "秒/以内";
    QTest::newRow("按钮_提取视频") << "按钮_提取视频" << QRect(710, 70, 136, 24) << "提取视频";
    QTest::newRow("超级列表框1") << "超级列表框1" << QRect(16, 142, 834, 412) << QString();
  }

  void control_geometry_and_text() {
    QFETCH(QString, name);
    QFETCH(QRect, in_client);
    QFETCH(QString, text);
    QWidget* control = open_->window().findChild<QWidget*>(name);
    QVERIFY2(control, qPrintable(name));
    QCOMPARE(QRect(control->mapTo(&open_->window(), QPoint(0, 0)), control->size()), in_client);
    QString shown;
    if (auto* label = qobject_cast<QLabel*>(control)) shown = label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(control)) shown = edit->text();
    if (auto* button = qobject_cast<QAbstractButton*>(control)) shown = button->text();
    if (auto* group = qobject_cast<QGroupBox*>(control)) shown = group->title();
    QCOMPARE(shown, text);
  }

  void sample_link_is_one_the_collector_accepts() {
    const Text link = text_from_qstring(open_->find<QLineEdit>("编辑框_作者链接")->text());
    QVERIFY(link.starts_with("https://"));
    QVERIFY(link.find("/feedvideoui/api?pd=author_share_mvideo&ucenter=ext%3D") != Text::npos);
    auto author = parse_share_link(link);
    QVERIFY(author.has_value());
    QVERIFY(author->find("\"authorType\":\"media\"") != Text::npos);
  }

  void edit_boxes_have_no_length_limit() {
    auto* link = open_->find<QLineEdit>("编辑框_作者链接");
    const QString long_link = "https://example.com/" + QString(40000, 'a');
    link->setText(long_link);
    QCOMPARE(link->text(), long_link);
  }

  void fonts_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("family");
    QTest::newRow("分组框1") << "分组框1" << "微软雅黑";
    QTest::newRow("标签1") << "标签1" << "微软雅黑";
    QTest::newRow("编辑框_作者链接") << "编辑框_作者链接" << "Verdana";
    QTest::newRow("编辑框_时长控制") << "编辑框_时长控制" << "Verdana";
    QTest::newRow("按钮_输出位置") << "按钮_输出位置" << "黑体";
    QTest::newRow("选择框_时长控制") << "选择框_时长控制" << "微软雅黑";
    QTest::newRow("按钮_提取视频") << "按钮_提取视频" << "微软雅黑";
    QTest::newRow("超级列表框1") << "超级列表框1" << "微软雅黑";
  }

  void fonts() {
    QFETCH(QString, name);
    QFETCH(QString, family);
    const QFont font = open_->window().findChild<QWidget*>(name)->font();
    QCOMPARE(font.families().value(0), family);
    QCOMPARE(font.pixelSize(), 12);
    QCOMPARE(font.weight(), QFont::Normal);
    QVERIFY(!font.italic());
    // Behind the Windows family stands one that is installed here and draws Chinese.
    const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    bool covered = false;
    for (const QString& f : font.families()) covered = covered || chinese.contains(f);
    QVERIFY2(covered, qPrintable(font.families().join(", ")));
  }

  void duration_box_starts_disabled_and_grey() {
    auto* check = open_->find<QCheckBox>("选择框_时长控制");
    auto* box = open_->find<QLineEdit>("编辑框_时长控制");
    QVERIFY(!check->isChecked());
    QVERIFY(!box->isEnabled());
    QCOMPARE(box->palette().color(QPalette::Disabled, QPalette::Base), QColor(0xEC, 0xEC, 0xEC));
    QCOMPARE(box->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  }

  void duration_box_check_type_uncheck_check() {
    auto* check = open_->find<QCheckBox>("选择框_时长控制");
    auto* box = open_->find<QLineEdit>("编辑框_时长控制");
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(6, 12));
    QVERIFY(check->isChecked());
    QVERIFY(box->isEnabled());
    QCOMPARE(box->palette().color(QPalette::Active, QPalette::Base), QColor(Qt::white));
    box->setFocus();
    QTest::keyClicks(box, "30");
    QCOMPARE(box->text(), QStringLiteral("30"));
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(6, 12));
    QVERIFY(!box->isEnabled());
    QCOMPARE(box->text(), QString());
    QCOMPARE(box->palette().color(QPalette::Disabled, QPalette::Base), QColor(0xEC, 0xEC, 0xEC));
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(6, 12));
    QVERIFY(box->isEnabled());
    QCOMPARE(box->text(), QString());
    QCOMPARE(box->palette().color(QPalette::Active, QPalette::Base), QColor(Qt::white));
  }

  // Typed keys pass only as digits and "-"; whatever the box holds is normalised when it loses the focus.
  void duration_box_input_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("while_focused");
    QTest::addColumn<QString>("after_focus_loss");
    QTest::newRow("letters typed") << "a1b2c" << QString() << "12" << "12";
    QTest::newRow("signs and spaces typed") << "+ -7." << QString() << "-7" << "-7";
    QTest::newRow("too big") << "99999999999" << QString() << "99999999999" << "2147483647";
    QTest::newRow("too small") << "-99999999999" << QString() << "-99999999999" << "-2147483648";
    QTest::newRow("zero") << "0" << QString() << "0" << "";
    QTest::newRow("minus zero") << "-0" << QString() << "-0" << "";
    QTest::newRow("digits after a minus") << "12-3" << QString() << "12-3" << "12";
    QTest::newRow("pasted with a tail") << QString() << "12abc" << "12abc" << "12";
    QTest::newRow("pasted letters") << QString() << "abc" << "abc" << "";
    QTest::newRow("pasted blank and plus") << QString() << " +45s" << " +45s" << "45";
  }

  void duration_box_input() {
    QFETCH(QString, typed);
    QFETCH(QString, pasted);
    QFETCH(QString, while_focused);
    QFETCH(QString, after_focus_loss);
    auto* check = open_->find<QCheckBox>("选择框_时长控制");
    auto* box = open_->find<QLineEdit>("编辑框_时长控制");
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(6, 12));
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());
    if (!typed.isEmpty()) QTest::keyClicks(box, typed);
    if (!pasted.isEmpty()) {
      QGuiApplication::clipboard()->setText(pasted);
      QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    }
    QCOMPARE(box->text(), while_focused);
    open_->find<QLineEdit>("编辑框_作者链接")->setFocus();
    QTRY_VERIFY(!box->hasFocus());
    QCOMPARE(box->text(), after_focus_loss);
  }

  void normalised_integer_text_data() {
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("plain") << "60" << "60";
    QTest::newRow("leading zeros") << "007" << "7";
    QTest::newRow("max") << "2147483647" << "2147483647";
    QTest::newRow("max + 1") << "2147483648" << "2147483647";
    QTest::newRow("min") << "-2147483648" << "-2147483648";
    QTest::newRow("min - 1") << "-2147483649" << "-2147483648";
    QTest::newRow("forty digits") << QString(40, '9') << "2147483647";
    QTest::newRow("minus only") << "-" << "";
    QTest::newRow("double minus") << "--5" << "";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("full-width digits are no digits") << "１２" << "";
  }

  void normalised_integer_text() {
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(kestrano::normalised_integer_text(in), out);
  }

  void enter_clicks_the_extract_button_from_any_control_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("key");
    QTest::newRow("link box, Return") << "编辑框_作者链接" << int(Qt::Key_Return);
    QTest::newRow("link box, keypad Enter") << "编辑框_作者链接" << int(Qt::Key_Enter);
    QTest::newRow("folder box") << "编辑框_输出位置" << int(Qt::Key_Return);
    QTest::newRow("duration box") << "编辑框_时长控制" << int(Qt::Key_Return);
    QTest::newRow("check box") << "选择框_时长控制" << int(Qt::Key_Return);
    QTest::newRow("choose button") << "按钮_输出位置" << int(Qt::Key_Return);
    QTest::newRow("extract button") << "按钮_提取视频" << int(Qt::Key_Return);
    QTest::newRow("list") << "超级列表框1" << int(Qt::Key_Return);
  }

  void enter_clicks_the_extract_button_from_any_control() {
    QFETCH(QString, name);
    QFETCH(int, key);
    open_->find<QCheckBox>("选择框_时长控制")->click();  // so that the duration box takes the focus
    QWidget* control = open_->window().findChild<QWidget*>(name);
    control->setFocus();
    QTRY_VERIFY(control->hasFocus());
    QTest::keyClick(control, Qt::Key(key));
    QCOMPARE(extract_clicks_, 1);
    QVERIFY(open_->window().isVisible());
  }

  void escape_leaves_the_window_open() {
    auto* link = open_->find<QLineEdit>("编辑框_作者链接");
    link->setFocus();
    QTest::keyClick(link, Qt::Key_Escape);
    QTest::keyClick(&open_->window(), Qt::Key_Escape);
    QVERIFY(open_->window().isVisible());
    QVERIFY(!open_->bridge().closing());
    QCOMPARE(extract_clicks_, 0);
  }

  void context_menu_entries() {
    const ContextMenu& m = open_->window().context_menu();
    QCOMPARE(m.menu->objectName(), QStringLiteral("菜单"));
    const QList<QAction*> actions = m.menu->actions();
    QCOMPARE(actions.size(), 6);
    const QStringList texts = {"下载选中视频\tCtrl+A", "下载全部视频\tCtrl+B", QString(), QString(),
                               "删除选中视频\tCtrl+C", "删除全部视频\tCtrl+D"};
    for (int i = 0; i < 6; ++i) {
      QCOMPARE(actions[i]->isSeparator(), i == 2 || i == 3);
      QCOMPARE(actions[i]->text(), texts[i]);
      QVERIFY(actions[i]->shortcut().isEmpty());
    }
    // Shown, both separators take room: Qt folds adjacent separators unless told not to.
    auto* view = open_->find<ResultsView>("超级列表框1");
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, QPoint(100, 100));
    QTRY_VERIFY(m.menu->isVisible());
    QVERIFY(m.menu->actionGeometry(actions[2]).height() > 0);
    QVERIFY(m.menu->actionGeometry(actions[3]).height() > 0);
    QVERIFY(m.menu->actionGeometry(actions[3]).top() >= m.menu->actionGeometry(actions[2]).bottom());
    m.menu->close();
  }

  void control_shortcuts_keep_their_meaning_in_edit_boxes() {
    ResultsModel& model = open_->window().results();
    for (int i = 0; i < 3; ++i) model.append_filled_row({"", "title"});
    model.show_pending_rows();
    auto* view = open_->find<ResultsView>("超级列表框1");
    view->selectRow(1);
    auto* link = open_->find<QLineEdit>("编辑框_作者链接");
    link->setFocus();
    QTRY_VERIFY(link->hasFocus());
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(link, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(link, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(link, Qt::Key_D, Qt::ControlModifier);
    QTest::keyClick(link, Qt::Key_B, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), link->text());
    QCOMPARE(model.row_count(), 3);
    QVERIFY(!open_->window().context_menu().menu->isVisible());
    // In the list as well, Ctrl+C deletes nothing.
    view->setFocus();
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(model.row_count(), 3);
  }

  void a_press_on_the_surface_drags_the_window() {
    MainWindow& w = open_->window();
    const QPoint start = w.pos();
    auto* group = open_->find<QGroupBox>("分组框1");
    const QPoint local(300, 100);  // below the controls of 分组框1
    const QPoint global(500, 300);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(group, &press);
    QMouseEvent move(QEvent::MouseMove, local, global + QPoint(30, 40), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(group, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global + QPoint(30, 40), Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(group, &release);
    QCOMPARE(w.pos(), start + QPoint(30, 40));
    // After the release, moves no longer drag.
    QMouseEvent later(QEvent::MouseMove, local, global + QPoint(90, 90), Qt::NoButton, Qt::NoButton, {});
    QApplication::sendEvent(group, &later);
    QCOMPARE(w.pos(), start + QPoint(30, 40));
  }

 private:
  const TestHome& home_;
  std::unique_ptr<OpenWindow> open_;
  int extract_clicks_ = 0;
};

int main(int argc, char** argv) {
  TestHome home;
  QApplication application(argc, argv);
  MainWindowTest test(home);
  return QTest::qExec(&test, argc, argv);
}

#include "main_window_test.moc"
