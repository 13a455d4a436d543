#include "platform/profile_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <iterator>

#include "text/codepage.h"

namespace kestrano {
namespace {

class ProfileFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kestrano-profile-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string content(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::filesystem::path dir_;
};

TEST_F(ProfileFileTest, CreatesFileAndFoldersAndReadsBack) {
  auto file = dir_ / "sub" / "Kestrano" / "配置文件.ini";
  EXPECT_EQ(read_profile_value(file, "配置文件"_t, "保存目录"_t), "");
  ASSERT_TRUE(write_profile_value(file, "配置文件"_t, "保存目录"_t, "/home/me/桌面/全民小视频下载目录"_t));
  // The file holds code page 936 bytes, not UTF-8.
  EXPECT_EQ(content(file), "[配置文件]\r\n保存目录=/home/me/桌面/全民小视频下载目录\r\n"_t);
  EXPECT_EQ(read_profile_value(file, "配置文件"_t, "保存目录"_t), "/home/me/桌面/全民小视频下载目录"_t);
  EXPECT_FALSE(std::filesystem::exists(file.string() + ".new"));
}

TEST_F(ProfileFileTest, FailsWithoutTouchingAnUnwritableFolder) {
  auto file = std::filesystem::path("/proc/kestrano-nowhere/配置文件.ini");
  EXPECT_FALSE(write_profile_value(file, "s", "k", "v"));
  EXPECT_EQ(read_profile_value(file, "s", "k"), "");
}

}  // namespace
}  // namespace kestrano
