#include "author_shape.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace kestrano::standin {
namespace {

using nlohmann::json;

std::optional<long long> number_after(std::string_view token, std::string_view key) {
  if (token.size() <= key.size() || token.substr(0, key.size()) != key) return std::nullopt;
  std::string_view digits = token.substr(key.size());
  long long value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || end != digits.data() + digits.size() || value < 0) return std::nullopt;
  return value;
}

int clamp_int(long long v, int lo, int hi) { return static_cast<int>(std::clamp<long long>(v, lo, hi)); }

// Titles that exercise the file-name sanitizer and the GBK conversion, in UTF-8.
const char* const kTrickyTitles[] = {
    "春天的故事🌸",                                 // emoji outside GBK
    "标题：测试？",                                 // full-width punctuation
    "a/b\\c:d*e?f\"g<h>i|j",                        // every character Windows forbids in names
    "@小明 #旅行# 一起去看海",                      // mention and topic markers
    "",                                             // empty title
    nullptr,                                        // the previous video's title again
    "长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题"
    "长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题长标题",  // 120 characters, 240 bytes in GBK
    "   前后有空格   ",
    "Ｆｕｌｌ－ｗｉｄｔｈ　１２３",
    "Straße ẞ 한국어 ①",                            // characters GBK lacks or maps oddly
};
constexpr int kTrickyCount = sizeof(kTrickyTitles) / sizeof(kTrickyTitles[0]);

const double kDurations[] = {15, 60, 61, 8.5, 120, 30, 59.9, 240, 3, 45};

std::string title_of(const AuthorShape& a, int index) {
  if (!a.tricky_titles) return "作品" + std::to_string(index + 1);
  int k = index % kTrickyCount;
  if (!kTrickyTitles[k]) k = (k + kTrickyCount - 1) % kTrickyCount;
  return kTrickyTitles[k];
}

std::string publish_time_of(int index) {
  char text[32];
  std::snprintf(text, sizeof text, "2023-%02d-%02d %02d:%02d", 12 - index % 12, 28 - index % 28,
                index % 24, (index * 7) % 60);
  return text;
}

std::string play_url_of(const AuthorShape& a, int index, const std::string& origin) {
  std::string modes = a.play_modes;
  if (a.bad_every > 0 && index % a.bad_every == a.bad_every - 1) modes = "status404";
  return origin + "/video/" + (modes.empty() ? "" : modes + "/") + video_id(index) + ".mp4";
}

json video_entry(const AuthorShape& a, int index, const std::string& origin) {
  const std::string vid = video_id(a.duplicate_id_at == index && index > 0 ? index - 1 : index);
  const double duration = a.duration ? *a.duration : kDurations[index % 10];
  json info;
  json clarity = {{"key", "sd"}, {"title", "标清"}, {"videoPlayUrl", play_url_of(a, index, origin)}};
  if (a.fault == WorksFault::types) {
    info = {{"vid", std::stoll(vid)}, {"publish_time", 1680000000 + index},
            {"duration", std::to_string(static_cast<long long>(duration))},
            {"multiClarity", json::array({clarity})}};
    return {{"id", vid}, {"title", 10000 + index}, {"videoInfo", info}};
  }
  json duration_value = duration;
  if (duration == static_cast<double>(static_cast<long long>(duration))) {
    duration_value = static_cast<long long>(duration);  // written 60, not 60.0, as the service does
  }
  info = {{"vid", vid}, {"publish_time", publish_time_of(index)}, {"duration", duration_value},
          {"multiClarity", json::array({clarity})}};
  json entry = {{"id", vid}, {"type", "video"}, {"title", title_of(a, index)}};
  if (a.missing_fields) {
    switch (index % 5) {
      case 1: entry.erase("title"); break;
      case 2: info.erase("publish_time"); break;
      case 3: info.erase("duration"); break;
      case 4: info["multiClarity"] = json::array(); break;
      default: break;
    }
  }
  entry["videoInfo"] = std::move(info);
  return entry;
}

}  // namespace

int AuthorShape::pages() const { return videos <= 0 ? 1 : (videos + page_size - 1) / page_size; }

AuthorShape parse_author(std::string_view author_id) {
  AuthorShape a;
  a.author_id = std::string(author_id);
  std::size_t from = 0;
  while (from <= author_id.size()) {
    std::size_t end = author_id.find('_', from);
    if (end == std::string_view::npos) end = author_id.size();
    std::string_view t = author_id.substr(from, end - from);
    from = end + 1;
    if (t == "tmix") a.tricky_titles = true;
    else if (t == "miss") a.missing_fields = true;
    else if (t == "fnotjson") a.fault = WorksFault::not_json;
    else if (t == "ferror") a.fault = WorksFault::error;
    else if (t == "ftype") a.fault = WorksFault::types;
    else if (t == "ftypelist") a.fault = WorksFault::list_type;
    else if (t.substr(0, 4) == "play") a.play_modes = std::string(t.substr(4));
    else if (auto n = number_after(t, "fstall")) a.fault = WorksFault::stall, a.stall_ms = clamp_int(*n, 0, 3600000);
    else if (auto n = number_after(t, "fs")) a.fault = WorksFault::status, a.fault_status = clamp_int(*n, 100, 999);
    else if (auto n = number_after(t, "dupid")) a.duplicate_id_at = clamp_int(*n, 0, 1 << 30);
    else if (auto n = number_after(t, "bad")) a.bad_every = clamp_int(*n, 0, 1 << 30);
    else if (auto n = number_after(t, "at")) a.fault_from_page = clamp_int(*n, 0, 1 << 30);
    else if (auto n = number_after(t, "v")) a.videos = clamp_int(*n, 0, 10000000);
    else if (auto n = number_after(t, "p")) a.page_size = clamp_int(*n, 1, 100000);
    else if (auto n = number_after(t, "d")) a.duration = static_cast<double>(*n);
  }
  return a;
}

std::string author_id_of(std::string_view author_ext) {
  constexpr std::string_view key = "\"authorId\":\"";
  auto at = author_ext.find(key);
  if (at == std::string_view::npos) return {};
  at += key.size();
  auto end = author_ext.find('"', at);
  if (end == std::string_view::npos) return {};
  return std::string(author_ext.substr(at, end - at));
}

int page_of_token(std::string_view token) {
  auto at = token.find("\"pn\":");
  std::string_view digits = at == std::string_view::npos ? token : token.substr(at + 5);
  int page = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), page);
  if (ec != std::errc() || page < 0) return 0;
  if (at == std::string_view::npos && end != digits.data() + digits.size()) return 0;
  return page;
}

std::string works_page_json(const AuthorShape& a, int page, const std::string& origin) {
  json list = json::array();
  const int first = page * a.page_size;
  for (int i = first; i < a.videos && i < first + a.page_size && page < a.pages(); ++i) {
    list.push_back(video_entry(a, i, origin));
  }
  const int next = page + 1 < a.pages() ? page + 1 : 0;
  json data = {{"worksList", list}, {"hasMore", next != 0 ? 1 : 0}};
  if (a.fault == WorksFault::types) {
    data["ext"] = next;
  } else if (a.videos > 0) {
    data["ext"] = "{\"pn\":" + std::to_string(next) + "}";
  }
  if (a.fault == WorksFault::list_type) {
    json object = json::object();
    for (std::size_t i = 0; i < list.size(); ++i) object[std::to_string(i)] = list[i];
    data["worksList"] = object;
  }
  json answer = {{"errno", 0}, {"workspage", {{"errno", 0}, {"errmsg", ""}, {"data", data}}}};
  return answer.dump(-1, ' ', /*ensure_ascii=*/false);
}

std::string video_id(int index) {
  char text[16];
  std::snprintf(text, sizeof text, "1%09d", index);
  return text;
}

}  // namespace kestrano::standin
