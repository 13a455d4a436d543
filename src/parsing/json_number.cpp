#include "parsing/json_number.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace kestrano {

std::string js_number_text(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  if (value == 0) return "0";  // also -0
  std::string out = value < 0 ? "-" : "";
  // Shortest round-trip digits in scientific form "d.ddde+XX"; then lay them out as Number::toString.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific);
  std::string sci(buf, res.ptr);
  auto e_at = sci.find('e');
  std::string digits = sci.substr(0, e_at);
  if (digits.size() > 1) digits.erase(1, 1);  // drop the point
  const int k = static_cast<int>(digits.size());
  const int n = std::atoi(sci.c_str() + e_at + 1) + 1;  // value = 0.digits * 10^n
  if (k <= n && n <= 21) {
    out += digits;
    out.append(static_cast<std::size_t>(n - k), '0');
  } else if (0 < n && n <= 21) {
    out += digits.substr(0, static_cast<std::size_t>(n));
    out += '.';
    out += digits.substr(static_cast<std::size_t>(n));
  } else if (-6 < n && n <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-n), '0');
    out += digits;
  } else {
    out += digits[0];
    if (k > 1) {
      out += '.';
      out += digits.substr(1);
    }
    out += 'e';
    out += n - 1 < 0 ? '-' : '+';
    out += std::to_string(std::abs(n - 1));
  }
  return out;
}

std::string g13_number_text(double value) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 13);
  return std::string(buf, res.ptr);
}

}  // namespace kestrano
