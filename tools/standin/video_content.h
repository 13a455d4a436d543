#pragma once
// The bytes of a stand-in video: a pure function of the video's name and the offset, so tests compare
// downloaded files byte for byte without storing any, and any range can be produced at any time.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrano::standin {

// Writes the `count` bytes of video `name` that start at `offset`.
void fill_video_bytes(std::string_view name, std::uint64_t offset, char* out, std::size_t count);

std::string video_bytes(std::string_view name, std::uint64_t offset, std::size_t count);

}  // namespace kestrano::standin
