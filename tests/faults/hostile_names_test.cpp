// Titles chosen to break out of the output folder, name a special file or overflow the file system's
// name limit go through the real download path; every file must land inside the output folder under
// a valid name of at most 255 bytes, and carry the video of its own row.
#include <map>
#include <set>

#include "fault_fixture.h"
#include "video_content.h"

namespace kestrano::faults {
namespace {

std::string chinese_utf8(std::size_t characters) {
  std::string s;
  for (std::size_t i = 0; i < characters; ++i) s += (i % 2 == 0) ? "中" : "文";
  return s;
}

// Titles in code page 936, as the collector writes them into the table.
std::vector<Text> hostile_titles() {
  std::vector<Text> t = {
      "../../x", "/etc/passwd", "a/b", "..", ".", "./", "../", ".bashrc", "CON", "nul.mp4", "COM1.txt",
      std::string("a\x01" "b"), std::string("tab\tnew\nline\rend"), std::string("del\x7f"), std::string("esc\x1b[31m"),
      "abc.", "abc ", " .. ", "...", "\\..\\..\\y", "~", "-rf", std::string("\xa1\xa1"),  // ideographic space
      std::string("\xd6\xd0\x81"),  // a lead byte with no trail byte
      Text(),
  };
  t.push_back(gbk_from_utf8(chinese_utf8(100)));  // 300 bytes in UTF-8, 200 in code page 936
  t.push_back(gbk_from_utf8(chinese_utf8(150)));  // 450 bytes in UTF-8, 300 in code page 936
  t.push_back(gbk_from_utf8("a" + chinese_utf8(149)));  // odd length, cut at a character boundary
  t.push_back(gbk_from_utf8(chinese_utf8(84) + "."));  // 253 bytes in UTF-8 and a trailing dot
  t.push_back(gbk_from_utf8(chinese_utf8(84) + "x"));  // the same title twice: two files
  t.push_back(gbk_from_utf8(chinese_utf8(84) + "x"));
  return t;
}

bool valid_utf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = s[i];
    const std::size_t trail = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 9;
    if (trail == 9 || i + trail >= s.size() + (trail == 0)) return false;
    for (std::size_t k = 1; k <= trail; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    }
    i += trail + 1;
  }
  return true;
}

class HostileNames : public JobsFixture {};

TEST_F(HostileNames, EveryFileLandsInsideTheOutputFolderUnderAValidName) {
  // Where the climbing titles would land if a separator or ".." survived.
  const std::vector<fs::path> escapes = {root / "x", root.parent_path() / "x", root / "b", root / "y",
                                         root / "etc" / "passwd"};
  for (const auto& p : escapes) ASSERT_FALSE(fs::exists(p)) << p;
  const auto passwd_before = fs::last_write_time("/etc/passwd");

  const std::vector<Text> titles = hostile_titles();
  std::map<std::string, int> row_of_content;
  for (std::size_t i = 0; i < titles.size(); ++i) {
    const std::string name = "h" + std::to_string(i);
    const int size = 1000 + static_cast<int>(i);
    add_row_gbk(titles[i], server.origin() + "/video/size" + std::to_string(size) + "/" + name + ".mp4");
    row_of_content[standin::video_bytes(name, 0, size)] = static_cast<int>(i);
  }
  make_jobs();
  jobs->download_all();

  EXPECT_EQ(statuses(), std::vector<Text>(titles.size(), status_succeeded()));
  std::set<int> rows_found;
  for (const auto& entry : tree(root)) {
    if (entry == "out") continue;
    const fs::path p = root / entry;
    ASSERT_EQ(fs::path(entry).parent_path(), "out") << "outside the output folder: " << entry;
    const std::string name = p.filename().string();
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(p))) << name;
    EXPECT_LE(name.size(), 255u) << name;
    EXPECT_GT(name.size(), 4u) << name;  // never just ".mp4"
    EXPECT_TRUE(name.ends_with(".mp4")) << name;
    EXPECT_NE(name, ".");
    EXPECT_NE(name, "..");
    EXPECT_TRUE(valid_utf8(name)) << name;
    for (unsigned char c : name) EXPECT_TRUE(c >= 0x20 && c != 0x7f) << name;
    auto it = row_of_content.find(read_all(p));
    ASSERT_NE(it, row_of_content.end()) << "a file no row asked for: " << name;
    EXPECT_TRUE(rows_found.insert(it->second).second) << "two files for row " << it->second;
  }
  EXPECT_EQ(rows_found.size(), titles.size());
  for (const auto& p : escapes) EXPECT_FALSE(fs::exists(p)) << p;
  EXPECT_EQ(fs::last_write_time("/etc/passwd"), passwd_before);
}

TEST_F(HostileNames, AHostileOutputFolderBoxStaysWhereItSays) {
  // A relative box with ".." parts names a real folder; the jobs must write there and nowhere else.
  fs::create_directories(root / "a" / "b");
  window.set_control_text(Control::output_folder, gbk_from_utf8((root / "a" / "b" / ".." / "c").string()));
  add_row("../../x", "/video/size500/one.mp4");
  make_jobs();
  jobs->download_all();
  EXPECT_EQ(statuses(), std::vector<Text>{status_succeeded()});
  EXPECT_EQ(tree(root), (std::vector<std::string>{"a", "a/b", "a/c", "a/c/....x.mp4"}));
  EXPECT_EQ(read_all(root / "a" / "c" / "....x.mp4"), standin::video_bytes("one", 0, 500));
}

}  // namespace
}  // namespace kestrano::faults
