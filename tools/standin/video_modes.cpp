#include "video_modes.h"

#include <charconv>
#include <vector>

namespace kestrano::standin {
namespace {

std::optional<std::uint64_t> number_after(std::string_view token, std::string_view key) {
  if (token.size() <= key.size() || token.substr(0, key.size()) != key) return std::nullopt;
  std::string_view digits = token.substr(key.size());
  std::uint64_t value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

int small(std::uint64_t v) { return v > 3600000 ? 3600000 : static_cast<int>(v); }

bool apply_token(VideoModes& s, std::string_view t) {
  if (t.empty() || t == "ok") return true;
  if (t == "endless") return s.endless = true;
  if (t == "norange") return s.ignore_range = true;
  if (t == "redirectloop") return s.redirect_loop = true;
  if (t == "redirectfile") return s.redirect_file = true;
  if (t == "redirectftp") return s.redirect_ftp = true;
  if (auto n = number_after(t, "size")) return s.size = *n, true;
  if (auto n = number_after(t, "status")) return s.status = small(*n), s.status >= 100 && s.status <= 999;
  if (auto n = number_after(t, "cut")) return s.cut_after = *n, true;
  if (auto n = number_after(t, "stall")) return s.stall_after = *n, true;
  if (auto n = number_after(t, "trickle")) return s.trickle_ms = small(*n), true;
  if (auto n = number_after(t, "badlen")) return s.declared_length = *n, true;
  if (auto n = number_after(t, "redirect")) return s.redirects = small(*n), true;
  if (auto n = number_after(t, "busy")) return s.busy_retry_after = small(*n), true;
  if (auto n = number_after(t, "times")) return s.fault_times = small(*n), true;
  return false;
}

std::vector<std::string_view> split_dots(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t from = 0;
  while (from <= text.size()) {
    auto end = text.find('.', from);
    if (end == std::string_view::npos) end = text.size();
    parts.push_back(text.substr(from, end - from));
    from = end + 1;
  }
  return parts;
}

}  // namespace

bool VideoModes::has_fault() const {
  return status || cut_after || stall_after || trickle_ms || endless || declared_length || redirects ||
         redirect_loop || redirect_file || redirect_ftp || busy_retry_after >= 0;
}

std::optional<VideoModes> parse_video_path(std::string_view path) {
  constexpr std::string_view prefix = "/video/";
  if (path.substr(0, prefix.size()) != prefix) return std::nullopt;
  std::string_view rest = path.substr(prefix.size());
  std::string_view modes, file = rest;
  if (auto slash = rest.find('/'); slash != std::string_view::npos) {
    modes = rest.substr(0, slash);
    file = rest.substr(slash + 1);
  }
  if (file.empty() || file.find('/') != std::string_view::npos) return std::nullopt;
  VideoModes s;
  constexpr std::string_view ext = ".mp4";
  if (file.size() > ext.size() && file.substr(file.size() - ext.size()) == ext) file.remove_suffix(ext.size());
  s.name = std::string(file);
  for (std::string_view token : split_dots(modes)) {
    if (!apply_token(s, token)) return std::nullopt;
  }
  return s;
}

std::string VideoModes::next_redirect_path() const {
  // Rebuilt from the fields so the other tokens of the chain keep applying at every hop.
  std::string modes;
  auto add = [&modes](const std::string& token) { modes += (modes.empty() ? "" : ".") + token; };
  if (size) add("size" + std::to_string(*size));
  if (status) add("status" + std::to_string(status));
  if (cut_after) add("cut" + std::to_string(*cut_after));
  if (stall_after) add("stall" + std::to_string(*stall_after));
  if (trickle_ms) add("trickle" + std::to_string(trickle_ms));
  if (endless) add("endless");
  if (declared_length) add("badlen" + std::to_string(*declared_length));
  if (redirects > 1) add("redirect" + std::to_string(redirects - 1));
  if (busy_retry_after >= 0) add("busy" + std::to_string(busy_retry_after));
  if (fault_times) add("times" + std::to_string(fault_times));
  if (ignore_range) add("norange");
  return "/video/" + (modes.empty() ? "" : modes + "/") + name + ".mp4";
}

std::optional<ByteRange> parse_range(std::string_view header, std::uint64_t size, bool& unsatisfiable) {
  unsatisfiable = false;
  constexpr std::string_view unit = "bytes=";
  if (header.substr(0, unit.size()) != unit) return std::nullopt;
  std::string_view ranges = header.substr(unit.size());
  if (ranges.find(',') != std::string_view::npos) return std::nullopt;
  auto dash = ranges.find('-');
  if (dash == std::string_view::npos) return std::nullopt;
  auto read = [](std::string_view digits, std::uint64_t& value) {
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return !digits.empty() && ec == std::errc() && end == digits.data() + digits.size();
  };
  std::string_view a = ranges.substr(0, dash), b = ranges.substr(dash + 1);
  ByteRange r;
  if (a.empty()) {  // the last n bytes
    std::uint64_t n = 0;
    if (!read(b, n)) return std::nullopt;
    if (n == 0 || size == 0) return unsatisfiable = true, std::nullopt;
    r.first = n >= size ? 0 : size - n;
    r.last = size - 1;
    return r;
  }
  if (!read(a, r.first)) return std::nullopt;
  if (b.empty()) {
    r.last = size ? size - 1 : 0;
  } else if (!read(b, r.last) || r.last < r.first) {
    return std::nullopt;
  }
  if (r.first >= size) return unsatisfiable = true, std::nullopt;
  if (r.last >= size) r.last = size - 1;
  return r;
}

}  // namespace kestrano::standin
