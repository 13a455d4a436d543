#include "platform/native_path.h"

#include <gtest/gtest.h>

#include "text/codepage.h"

namespace kestrano {
namespace {

TEST(NativePath, TurnsGbkTextWithBackslashesIntoAUtf8Path) {
  EXPECT_EQ(native_path("D:\\videos\\标题.mp4"_t).native(), "D:/videos/标题.mp4");
  EXPECT_EQ(native_path("/home/me/桌面/全民小视频下载目录"_t).native(), "/home/me/桌面/全民小视频下载目录");
  // 乗 is 81 5C in code page 936: its trail byte is no separator.
  EXPECT_EQ(native_path("/tmp/乗\\a"_t).native(), "/tmp/乗/a");
  EXPECT_EQ(native_path("").native(), "");
}

TEST(IsRootFolder, LooksAtTheLastCharacterNotTheLastByte) {
  struct Case {
    Text folder;
    bool root;
  };
  const Case cases[] = {
      {"/", true},          {"D:\\", true},        {"D:/", true},
      {"D:\\clips", false}, {"/home/me", false},   {"", false},
      {"D:\\乗"_t, false},  {"D:\\乗\\"_t, true},  {"\\\\server\\share", false},
  };
  for (const auto& c : cases) EXPECT_EQ(is_root_folder(c.folder), c.root) << c.folder;
}

}  // namespace
}  // namespace kestrano
