#include "platform/settings_location.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/run_directory.h"

namespace kestrano {
namespace {

TEST(SettingsLocation, BesideTheExecutableWhenWritable) {
  EXPECT_EQ(settings_file_path("/opt/k", true, "/x", "/home/me"), std::filesystem::path("/opt/k/配置文件.ini"));
}

TEST(SettingsLocation, UserConfigurationDirectoryOtherwise) {
  EXPECT_EQ(settings_file_path("/usr/bin", false, "/cfg", "/home/me"),
            std::filesystem::path("/cfg/Kestrano/配置文件.ini"));
  EXPECT_EQ(settings_file_path("/usr/bin", false, nullptr, "/home/me"),
            std::filesystem::path("/home/me/.config/Kestrano/配置文件.ini"));
  // The XDG rules ignore a relative XDG_CONFIG_HOME.
  EXPECT_EQ(settings_file_path("/usr/bin", false, "rel", "/home/me"),
            std::filesystem::path("/home/me/.config/Kestrano/配置文件.ini"));
  EXPECT_EQ(settings_file_path("/usr/bin", false, "", "/home/me"),
            std::filesystem::path("/home/me/.config/Kestrano/配置文件.ini"));
}

TEST(SettingsLocation, ThisProcessUsesItsOwnWritableDirectory) {
  // The test program's build directory is writable, so the file goes beside it.
  ASSERT_TRUE(directory_writable(run_directory()));
  EXPECT_EQ(settings_file_path(), run_directory() / "配置文件.ini");
}

TEST(DirectoryWritable, ProbesAndCleansUp) {
  char pattern[] = "/tmp/kestrano-probe-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  std::filesystem::path dir(pattern);
  EXPECT_TRUE(directory_writable(dir));
  EXPECT_TRUE(std::filesystem::is_empty(dir));  // the probe file is gone again
  EXPECT_FALSE(directory_writable(dir / "missing"));
  EXPECT_FALSE(directory_writable(""));
  // A read-only mount stops even root; /proc is one.
  EXPECT_FALSE(directory_writable("/proc"));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kestrano
