// Collections from the real window against the stand-in service: paging and its end, the link
// messages, failures, the duration filter typed into the window, stop, and a start that meets a
// collector still ending.

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include "author_shape.h"
#include "e2e_session.h"
#include "web/curl_global.h"
#include "window_fixture.h"

using namespace kestrano;
using namespace kestrano::e2e;

namespace {

const QString kStart = QStringLiteral("提取视频");
const QString kStop = QStringLiteral("停止提取");
const QString kListFailed = QStringLiteral("获取作品列表失败，采集已停止！");

// The author object the sample link carries, with another authorId.
std::string author_object(const std::string& author_id) {
  return R"({"metiaId":"1642318903520147","authorType":"media","authorId":")" + author_id + R"("})";
}

QStringList titles(int first, int last) {
  QStringList out;
  for (int k = first; k <= last; ++k) out << QStringLiteral("作品%1").arg(k);
  return out;
}

int requests_naming(const std::vector<standin::RecordedRequest>& requests, const std::string& author_id) {
  int n = 0;
  for (const auto& r : requests) n += r.body.find("\"authorId\":\"" + author_id + "\"") != std::string::npos;
  return n;
}

}  // namespace

class CollectionTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { s_ = std::make_unique<Session>(); }
  void cleanup() { s_.reset(); }

  void three_pages_in_order_until_the_first_page_repeats() {
    QVERIFY(s_->paste_author("v25_p10"));
    s_->click_extract();
    QCOMPARE(s_->caption(), kStop);
    QVERIFY(s_->wait_collection_ended());

    QCOMPARE(s_->column(col_title), titles(1, 25));
    const char* durations[] = {"15", "60", "61", "8.5", "120", "30", "59.9", "240", "3", "45"};
    for (int k = 0; k < 25; ++k) {
      QCOMPARE(s_->cell(k, col_order), QString::number(k + 1));
      QCOMPARE(s_->cell(k, col_duration), QString::fromUtf8(durations[k % 10]));
      QCOMPARE(QByteArray::fromBase64(s_->cell(k, col_address).toLatin1()).toStdString(),
               s_->standin().origin() + "/video/" + standin::video_id(k) + ".mp4");
      QCOMPARE(s_->cell(k, col_status), QString());
    }
    QCOMPARE(s_->cell(0, col_publish_time), QStringLiteral("2023-12-28 00:00"));

    // An empty token first, then each answer's "ext"; the last page leads back to the first, whose
    // first video ends the collection.
    const auto requests = s_->works_requests();
    const char* tokens[] = {"", R"({"pn":1})", R"({"pn":2})", R"({"pn":0})"};
    QCOMPARE(requests.size(), std::size(tokens));
    for (std::size_t i = 0; i < requests.size(); ++i) {
      QCOMPARE(requests[i].method, std::string("POST"));
      QCOMPARE(requests[i].target, std::string("/mvideo/api?log=vhk"));
      QCOMPARE(requests[i].body,
               "workspage=ext=" + author_object("v25_p10") + "&refresh_state=2&pgext=" + tokens[i]);
    }
    QVERIFY(s_->messages().empty());
  }

  void refused_links_data() {
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << QString() << QStringLiteral("输入采集的作者链接，手机端点击作者主页，点击分享，点击复制链接");
    QTest::newRow("no ext=") << QStringLiteral("https://quanmin.baidu.com/feedvideoui/api?pd=author_share_mvideo")
                             << QStringLiteral("链接格式错误！或接口已更新！");
    QString no_type = share_link_for("v3");
    no_type.replace(QStringLiteral("authorType"), QStringLiteral("authorKind"));
    QTest::newRow("no authorType") << no_type << QStringLiteral("链接格式错误！或接口已更新！");
  }

  // The list of the collection before stays; nothing is requested; the button is ready again.
  void refused_links() {
    QFETCH(QString, link);
    QFETCH(QString, message);
    QVERIFY(s_->collect("v3"));
    s_->standin().clear_requests();

    QVERIFY(s_->paste_link(link));
    s_->click_extract();
    QVERIFY(s_->wait_collection_ended());
    QCOMPARE(s_->messages().size(), std::size_t{1});
    QCOMPARE(s_->messages()[0].text, message);
    QCOMPARE(s_->messages()[0].title, QStringLiteral("温馨提示"));
    QVERIFY(s_->messages()[0].information_with_ok);
    QCOMPARE(s_->caption(), kStart);
    QCOMPARE(s_->column(col_title), titles(1, 3));
    QVERIFY(s_->standin().requests().empty());
  }

  void failures_data() {
    QTest::addColumn<QString>("author");
    QTest::newRow("status 500") << "fs500_at2";
    QTest::newRow("not JSON") << "fnotjson_at2";
    QTest::newRow("error object") << "ferror_at2";
  }

  // An incomplete list never looks complete: the message, and the rows of the pages before.
  void failures() {
    QFETCH(QString, author);
    QVERIFY(s_->collect(author.toStdString()));
    QCOMPARE(s_->column(col_title), titles(1, 20));
    QCOMPARE(s_->works_requests().size(), std::size_t{3});
    QCOMPARE(s_->messages().size(), std::size_t{1});
    QCOMPARE(s_->messages()[0].text, kListFailed);
    QCOMPARE(s_->messages()[0].title, QStringLiteral("温馨提示"));
    QCOMPARE(s_->caption(), kStart);
  }

  void duration_filter_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("60") << "60" << QStringList{"15", "60", "8.5", "30", "59.9", "3", "45"};
    QTest::newRow("0: no limit") << "0"
                                 << QStringList{"15", "60", "61", "8.5", "120", "30", "59.9", "240", "3", "45"};
    // Every video is skipped, and the first page coming back still ends the collection.
    QTest::newRow("negative") << "-1" << QStringList{};
  }

  void duration_filter() {
    QFETCH(QString, typed);
    QFETCH(QStringList, listed);
    auto* check = s_->find<QCheckBox>("选择框_时长控制");
    auto* box = s_->find<QLineEdit>("编辑框_时长控制");
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(6, 12));
    QVERIFY(check->isChecked());
    box->setFocus();
    QTest::keyClicks(box, typed);
    QCOMPARE(box->text(), typed);

    QVERIFY(s_->collect("v10"));
    QCOMPARE(s_->column(col_duration), listed);
    QCOMPARE(s_->works_requests().size(), std::size_t{2});
    QVERIFY(s_->messages().empty());
  }

  // The request in flight is given up at once; no message, the rows so far stay.
  void stop_while_a_page_stalls() {
    QVERIFY(s_->paste_author("fstall0_at2"));
    s_->click_extract();
    QTRY_VERIFY_WITH_TIMEOUT(s_->model().row_count() == 20 && s_->works_requests().size() == 3, 20000);
    QElapsedTimer clock;
    clock.start();
    s_->click_extract();
    QCOMPARE(s_->caption(), kStart);
    QVERIFY(s_->wait_collection_ended(5000));
    qInfo("the stopped collector ended %lld ms after the click", clock.elapsed());
    QCOMPARE(s_->column(col_title), titles(1, 20));
    QCOMPARE(s_->works_requests().size(), std::size_t{3});
    QVERIFY(s_->messages().empty());
  }

  // A start while the stopped collector has not ended waits for it; the old collector then writes
  // nothing into the new collection, neither rows nor its caption.
  void start_while_the_previous_collector_ends() {
    const std::string old_author = "v30_p10_d7_fstall0_at2";
    const std::string new_author = "v12_p4_d9_fstall0_at2";
    QVERIFY(s_->paste_author(old_author));
    s_->click_extract();
    QTRY_VERIFY_WITH_TIMEOUT(s_->model().row_count() == 20 && s_->works_requests().size() == 3, 20000);

    s_->click_extract();  // stop
    QVERIFY(s_->paste_author(new_author));
    // No event has been handled since the stop, and the collector's last step is a caption write on
    // the UI thread: it cannot have ended.
    QVERIFY(s_->program().collector().running());
    s_->click_extract();  // start: returns once the old collector has ended
    QCOMPARE(s_->caption(), kStop);

    QTRY_VERIFY_WITH_TIMEOUT(s_->model().row_count() == 8 && requests_naming(s_->works_requests(), new_author) == 3,
                             20000);
    QCOMPARE(s_->caption(), kStop);
    QCOMPARE(s_->column(col_duration), QStringList(8, QStringLiteral("9")));
    QCOMPARE(requests_naming(s_->works_requests(), old_author), 3);

    s_->click_extract();
    QVERIFY(s_->wait_collection_ended(5000));
    QCOMPARE(s_->column(col_title), titles(1, 8));
    QVERIFY(s_->messages().empty());
  }

 private:
  std::unique_ptr<Session> s_;
};

int main(int argc, char** argv) {
  kestrano::test::TestHome home;
  QApplication application(argc, argv);
  kestrano::ensure_curl_global_init();
  CollectionTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "collection_test.moc"
