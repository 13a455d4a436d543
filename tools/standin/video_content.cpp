#include "video_content.h"

#include <bit>
#include <cstring>

namespace kestrano::standin {
namespace {

std::uint64_t mix(std::uint64_t x) {  // splitmix64's finaliser
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

std::uint64_t seed_of(std::string_view name) {  // FNV-1a
  std::uint64_t h = 0xCBF29CE484222325ULL;
  for (unsigned char c : name) h = (h ^ c) * 0x100000001B3ULL;
  return h;
}

}  // namespace

void fill_video_bytes(std::string_view name, std::uint64_t offset, char* out, std::size_t count) {
  // Byte p is byte p % 8 (least significant first) of mix(seed ^ p / 8).
  const std::uint64_t seed = seed_of(name);
  std::size_t i = 0;
  while (i < count) {
    const std::uint64_t position = offset + i;
    const std::uint64_t word = mix(seed ^ (position / 8));
    if constexpr (std::endian::native == std::endian::little) {
      if (position % 8 == 0 && count - i >= 8) {  // whole words: one store instead of eight
        std::memcpy(out + i, &word, 8);
        i += 8;
        continue;
      }
    }
    for (unsigned b = position % 8; b < 8 && i < count; ++b, ++i) {
      out[i] = static_cast<char>((word >> (8 * b)) & 0xFF);
    }
  }
}

std::string video_bytes(std::string_view name, std::uint64_t offset, std::size_t count) {
  std::string bytes(count, '\0');
  fill_video_bytes(name, offset, bytes.data(), count);
  return bytes;
}

}  // namespace kestrano::standin
