#include "collect/works_collector.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "collect/collection_globals.h"
#include "collect/page_reader.h"
#include "collect/row_writer.h"
#include "collect/share_link.h"
#include "text/codepage.h"
#include "web/encoding.h"

namespace kestrano {
namespace {

const Text kTitle = "温馨提示"_t;

// Full-width digits, signs and the ideographic space count as their ASCII forms.
Text to_ascii_forms(const Text& text) {
  Text out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (is_lead_byte(c) && i + 1 < text.size()) {
      const auto t = static_cast<unsigned char>(text[i + 1]);
      if (c == 0xA3 && t >= 0xB0 && t <= 0xB9) {
        out += static_cast<char>('0' + (t - 0xB0));
      } else if (c == 0xA3 && t == 0xAB) {
        out += '+';
      } else if (c == 0xA3 && t == 0xAD) {
        out += '-';
      } else if (c == 0xA1 && t == 0xA1) {
        out += ' ';
      } else {
        out += text.substr(i, 2);
      }
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::vector<Text> video_row(const Text& title, const Text& publish_time, const Text& duration,
                            const Text& play_address) {
  return {Text(), title, publish_time, duration, base64_encode(to_bytes(play_address))};
}

}  // namespace

Text caption_start() { return "提取视频"_t; }
Text caption_stop() { return "停止提取"_t; }

int parse_duration_limit(const Text& text) {
  const Text ascii = to_ascii_forms(text);
  std::size_t i = 0;
  while (i < ascii.size() && is_blank(ascii[i])) ++i;
  bool negative = false;
  if (i < ascii.size() && (ascii[i] == '+' || ascii[i] == '-')) negative = ascii[i++] == '-';
  // Enter can send the box before it is normalised, so the value may be of any length: clamp.
  long long value = 0;
  for (; i < ascii.size() && ascii[i] >= '0' && ascii[i] <= '9'; ++i) {
    value = std::min<long long>(value * 10 + (ascii[i] - '0'), 1LL << 32);
  }
  if (negative) value = -value;
  value = std::clamp<long long>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  return static_cast<int>(value);
}

double parse_leading_number(const Text& text) {
  std::size_t i = 0;
  while (i < text.size() && is_blank(text[i])) ++i;
  // Only a plain decimal number counts ("12", "-3.5", "1e3"); strtod's hexadecimal and "inf" forms
  // are not numbers here.
  std::size_t j = i;
  if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
  const std::size_t digits_start = j;
  while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
  if (j < text.size() && text[j] == '.') {
    ++j;
    while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
  }
  if (j == digits_start || (j == digits_start + 1 && text[digits_start] == '.')) return 0;
  if (j < text.size() && (text[j] == 'e' || text[j] == 'E')) {
    std::size_t k = j + 1;
    if (k < text.size() && (text[k] == '+' || text[k] == '-')) ++k;
    if (k < text.size() && std::isdigit(static_cast<unsigned char>(text[k]))) {
      while (k < text.size() && std::isdigit(static_cast<unsigned char>(text[k]))) ++k;
      j = k;
    }
  }
  const double value = std::strtod(text.substr(i, j - i).c_str(), nullptr);
  return std::isfinite(value) ? value : 0;
}

Text works_request_body(const Text& author_ext, const Text& page_token) {
  return "workspage=ext=" + author_ext + "&refresh_state=2&pgext=" + page_token;
}

Text works_request_headers(const ServiceOrigin& origin) {
  return "User-Agent: Mozilla/5.0 (Linux; Android 5.1.1; mi pad Build/LMY48Z) AppleWebKit/537.36 (KHTML, "
         "like Gecko) Version/4.0 Chrome/39.0.0.0 Mobile Safari/537.36 bdminivideo/1.14.5.10 arsdk/240 "
         "(Baidu; P1 5.1.1)\r\n"
         "Referer: " + origin.origin + "/\r\n"
         "Content-Type: application/x-www-form-urlencoded\r\n"
         "Host: " + origin.host;
}

WorksCollector::WorksCollector(WindowPort& window, FetcherFactory make_fetcher)
    : window_(window), make_fetcher_(make_fetcher ? std::move(make_fetcher) : make_service_fetcher) {}

WorksCollector::~WorksCollector() { shutdown(std::chrono::seconds(5)); }

bool WorksCollector::running() const { return alive_.load(); }

bool WorksCollector::should_abort() const {
  return g_stop_requested.load() == 1 || shutting_down_.load() || window_.closing();
}

void WorksCollector::join_previous() {
  while (alive_.load() && !shutting_down_.load() && !window_.closing()) {
    window_.wait_pumping(std::chrono::milliseconds(20));
  }
  if (!alive_.load() && thread_.joinable()) thread_.join();
}

void WorksCollector::on_extract_button_click() {
  if (window_.control_text(Control::extract_button) != caption_start()) {
    g_stop_requested = 1;  // the collector's request aborts at once and it ends by itself
    window_.set_control_text(Control::extract_button, caption_start());
    return;
  }
  // An earlier collector may still be ending after a stop; it must not write into the new collection.
  if (waiting_for_previous_) return;  // a click that arrived while we wait below
  waiting_for_previous_ = true;
  join_previous();
  waiting_for_previous_ = false;
  if (alive_.load() || shutting_down_.load()) return;

  g_stop_requested = 0;
  if (window_.control_text(Control::author_link).empty()) {
    window_.message_box("输入采集的作者链接，手机端点击作者主页，点击分享，点击复制链接"_t, kTitle);
    return;
  }
  // The caption changes before the thread starts, so an immediate end of the collection (a refused
  // link) sets it back after this, not before.
  window_.set_control_text(Control::extract_button, caption_stop());
  alive_ = true;
  thread_ = std::thread([this] {
    collector_thread();
    alive_ = false;
  });
}

bool WorksCollector::shutdown(std::chrono::milliseconds limit) {
  shutting_down_ = true;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (alive_.load() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (alive_.load()) return false;
  if (thread_.joinable()) thread_.join();
  return true;
}

void WorksCollector::collector_thread() {
  const Text link = window_.control_text(Control::author_link);
  const std::optional<Text> author_ext = parse_share_link(link);
  if (!author_ext) {
    window_.message_box("链接格式错误！或接口已更新！"_t, kTitle);
    window_.set_control_text(Control::extract_button, caption_start());
    return;
  }
  int max_seconds = 0;
  if (window_.is_checked(Control::duration_check)) {
    max_seconds = parse_duration_limit(window_.control_text(Control::duration_box));
  }
  collect_works(*author_ext, max_seconds);
}

void WorksCollector::collect_works(const Text& author_ext, int max_seconds) {
  std::unique_ptr<PageFetcher> fetcher = make_fetcher_([this] { return should_abort(); });
  RowWriter table(window_);
  window_.delete_all_rows();
  g_end_reached = 0;
  g_seen_video_ids->clear();
  PageReader pages(*fetcher, author_ext, [this] { return should_abort(); });

  bool failed = false;
  for (;;) {
    ReadPage page = pages.take();
    if (should_abort()) break;  // a stop aborted the request: that is not a failure
    std::optional<std::vector<WorkFields>> works;
    if (page.outcome == ReadPage::Outcome::page) works = page.work_fields();
    if (!works) {
      failed = true;
      break;
    }
    std::vector<std::vector<Text>> rows;
    for (int k = 0; k < page.count; ++k) {
      const auto& [title, publish_time, duration, play_address] = (*works)[static_cast<std::size_t>(k)];
      const Text& video_id = page.ids[static_cast<std::size_t>(k)];
      // Every video counts for the end test, also one the filter skips: a filter that skips everything
      // must not make the collection run for ever.
      if (!g_seen_video_ids->insert(video_id).second) {
        g_end_reached = 1;
        break;
      }
      if (max_seconds != 0 && parse_leading_number(duration) - max_seconds > 0.0000001) continue;
      if (g_stop_requested.load() == 1) break;
      if (!play_address.empty() && !duration.empty() && !publish_time.empty()) {
        rows.push_back(video_row(title, publish_time, duration, play_address));
      }
    }
    table.write(std::move(rows));
    window_.pump_if_input();
    if (g_end_reached.load() == 1 || should_abort()) {
      g_end_reached = 0;
      break;
    }
    if (page.leads_nowhere) {
      failed = true;
      break;
    }
  }
  table.flush();  // every row is in the list before the message and the caption say the collection ended
  if (failed && !should_abort()) window_.message_box("获取作品列表失败，采集已停止！"_t, kTitle);
  window_.set_control_text(Control::extract_button, caption_start());
}

}  // namespace kestrano
