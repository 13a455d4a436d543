#include "standin_server.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <optional>

#include "author_shape.h"
#include "recording_server.h"
#include "video_content.h"
#include "video_modes.h"

// What the stand-in answers: the works list, video files and the generic answer.

namespace kestrano::standin {
namespace {

constexpr std::size_t kChunk = 64 * 1024;
constexpr const char* kLastModified = "Wed, 01 Mar 2023 08:00:00 GMT";

std::string_view trim_blanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string etag_of(const std::string& name, std::uint64_t size) {
  char text[40];
  std::snprintf(text, sizeof text, "\"%016llx\"",
                static_cast<unsigned long long>(std::hash<std::string>{}(name) ^ (size * 0x9E3779B97F4A7C15ULL)));
  return text;
}

}  // namespace

void StandinServer::serve_respond(const httplib::Request& req, httplib::Response& res) {
  // Parsed here rather than by httplib, which splits a parameter at every "=" (a cookie has one).
  const std::string target = req.target;
  std::string_view query = target;
  query = query.substr(std::min(query.size(), query.find('?') + 1));
  res.status = 200;
  while (!query.empty()) {
    auto amp = query.find('&');
    std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
    auto eq = pair.find('=');
    const std::string key(pair.substr(0, eq));
    const std::string value =
        eq == std::string_view::npos ? std::string() : httplib::detail::decode_url(std::string(pair.substr(eq + 1)), false);
    if (key == "status") {
      res.status = std::atoi(value.c_str());
    } else if (key == "header") {
      auto colon = value.find(':');
      if (colon == std::string::npos) continue;
      res.headers.emplace(value.substr(0, colon), std::string(trim_blanks(std::string_view(value).substr(colon + 1))));
    } else if (key == "body") {
      res.set_content(value, "text/plain; charset=utf-8");
    }
  }
}

void StandinServer::serve_works_list(const httplib::Request& req, httplib::Response& res) {
  if (req.method != "POST") {
    res.status = 405;
    return;
  }
  constexpr std::string_view prefix = "workspage=ext=";
  const std::string& body = req.body;
  if (body.rfind(prefix, 0) != 0) {
    res.status = 400;
    res.set_content("{\"errno\":400,\"errmsg\":\"bad request\"}", "application/json");
    return;
  }
  const auto state = body.find("&refresh_state=", prefix.size());
  const std::string author_ext = body.substr(prefix.size(), state == std::string::npos ? std::string::npos
                                                                                        : state - prefix.size());
  const auto pgext = body.rfind("&pgext=");
  const std::string token = pgext == std::string::npos ? std::string() : body.substr(pgext + 7);
  const std::string id = author_id_of(author_ext);
  AuthorShape author = parse_author(id);
  const int page = page_of_token(token);
  if (page < author.fault_from_page) author.fault = WorksFault::none;
  if (id.empty()) author.fault = WorksFault::error;

  switch (author.fault) {
    case WorksFault::status:
      res.status = author.fault_status;
      res.set_content("<html><body><h1>" + std::to_string(author.fault_status) + "</h1></body></html>",
                      "text/html; charset=utf-8");
      return;
    case WorksFault::not_json:
      res.set_content("<html><body>服务繁忙，请稍后再试</body></html>", "text/html; charset=utf-8");
      return;
    case WorksFault::error:
      res.set_content("{\"errno\":2,\"errmsg\":\"参数错误\"}", "application/json; charset=utf-8");
      return;
    case WorksFault::stall:
      if (pause(author.stall_ms)) {
        res.status = 503;
        return;
      }
      break;
    default:
      break;
  }
  res.set_content(works_page_json(author, page, origin()), "application/json; charset=utf-8");
}

void StandinServer::serve_video(const httplib::Request& req, httplib::Response& res, std::string_view path) {
  const std::optional<VideoModes> found = parse_video_path(path);
  if (!found) {
    res.status = 404;
    res.set_content("no such video", "text/plain");
    return;
  }
  const VideoModes modes = *found;
  bool faulty = modes.has_fault();
  if (faulty && modes.fault_times > 0) {
    std::lock_guard lock(mutex_);
    faulty = ++path_hits_[std::string(path)] <= modes.fault_times;
  }
  if (faulty) {
    auto redirect_to = [&res](const std::string& location) {
      res.status = 302;
      res.set_header("Location", location);
    };
    if (modes.status) {
      res.status = modes.status;
      res.set_content("status " + std::to_string(modes.status), "text/plain");
      return;
    }
    if (modes.busy_retry_after >= 0) {
      res.status = 503;
      res.set_header("Retry-After", std::to_string(modes.busy_retry_after));
      res.set_content("busy", "text/plain");
      return;
    }
    if (modes.redirect_file) return redirect_to("file:///etc/passwd");
    if (modes.redirect_ftp) return redirect_to("ftp://127.0.0.1:" + std::to_string(port_) + "/" + modes.name + ".mp4");
    if (modes.redirect_loop) return redirect_to(std::string(path));
    if (modes.redirects > 0) return redirect_to(modes.next_redirect_path());
  }

  const std::uint64_t size = modes.size.value_or(config_.video_size);
  const std::string etag = etag_of(modes.name, size);
  res.set_header("ETag", etag);
  res.set_header("Last-Modified", kLastModified);
  std::optional<ByteRange> range;
  if (!modes.ignore_range) {
    res.set_header("Accept-Ranges", "bytes");
    const std::string if_range = req.get_header_value("If-Range");
    bool unsatisfiable = false;
    if (req.has_header("Range") && (if_range.empty() || if_range == etag || if_range == kLastModified)) {
      range = parse_range(req.get_header_value("Range"), size, unsatisfiable);
    }
    if (unsatisfiable) {
      res.status = 416;
      res.set_header("Content-Range", "bytes */" + std::to_string(size));
      return;
    }
  }
  const std::uint64_t first = range ? range->first : 0;
  const std::uint64_t length = range ? range->last - range->first + 1 : size;
  res.status = range ? 206 : 200;
  if (range) {
    res.set_header("Content-Range", "bytes " + std::to_string(range->first) + "-" + std::to_string(range->last) +
                                        "/" + std::to_string(size));
  }

  transfer_began();
  // The transfer ends when its last piece is sent, or when the answer is dropped, whichever comes first.
  auto ended = std::make_shared<std::atomic<bool>>(false);
  auto end_once = [this, ended] {
    if (!ended->exchange(true)) transfer_ended();
  };
  auto released = [end_once](bool) { end_once(); };
  const std::string name = modes.name;
  if (faulty && modes.endless) {
    // The same chunk over and over: what matters is that it never ends, and that it comes fast.
    res.set_chunked_content_provider(
        "video/mp4",
        [this, chunk = video_bytes(name, 0, kChunk)](size_t, httplib::DataSink& sink) {
          return !stopping() && sink.write(chunk.data(), chunk.size());
        },
        released);
    return;
  }
  const std::optional<std::uint64_t> cut = faulty ? modes.cut_after : std::nullopt;
  const std::optional<std::uint64_t> stall = faulty ? modes.stall_after : std::nullopt;
  const int trickle_ms = faulty ? modes.trickle_ms : 0;
  const std::uint64_t declared = faulty && modes.declared_length ? *modes.declared_length : length;
  res.set_content_provider(
      declared, "video/mp4",
      [=, this](size_t offset, size_t, httplib::DataSink& sink) {
        // `offset` counts the bytes of this answer sent so far.
        if (offset >= length) return false;  // a declared length beyond the body: cut the connection
        if (stall && offset >= *stall) {
          pause(0);
          return false;
        }
        if (cut && offset >= *cut) return false;
        // A declared length short of the body still gets the whole body, in this one call.
        std::uint64_t end = declared < length ? length : offset + (trickle_ms ? 1024 : kChunk);
        end = std::min<std::uint64_t>(end, length);
        if (stall) end = std::min(end, *stall);
        if (cut) end = std::min(end, *cut);
        // The transfer counts as ended as its last piece goes out: a client that has every byte may
        // start its next download before this thread gets to run again, and must not be counted twice.
        if (end == length) end_once();
        std::string chunk(kChunk, '\0');
        for (std::uint64_t at = offset; at < end;) {
          size_t n = static_cast<size_t>(std::min<std::uint64_t>(kChunk, end - at));
          fill_video_bytes(name, first + at, chunk.data(), n);
          if (!sink.write(chunk.data(), n)) return false;
          at += n;
        }
        if (end == length) return true;
        if (trickle_ms && pause(trickle_ms)) return false;
        return true;
      },
      released);
}

}  // namespace kestrano::standin
