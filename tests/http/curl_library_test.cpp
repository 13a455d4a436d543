// libcurl is opened at the first transfer instead of being linked. A library that cannot be used must
// make every transfer fail as a value, with nothing sent and nothing written, never a call through a
// function that was not found.
//
// A program of its own: the first load in a process decides for the whole process, and here it fails.

#include <dlfcn.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "download/file_transfer.h"
#include "standin_server.h"
#include "support/temp_folder.h"
#include "web/curl_global.h"
#include "web/curl_library.h"
#include "web/http_request.h"

using namespace kestrano;
namespace fs = std::filesystem;

namespace {

constexpr const char* kAbsentLibrary = "libkestrano-no-such-curl.so.4";

TEST(CurlLibraryLoad, RefusesALibraryThatIsNotACompleteLibcurl) {
  struct Case {
    const char* file;
    const char* error_names;
  } cases[] = {
      {kAbsentLibrary, kAbsentLibrary},  // no such file
      {"libc.so.6", "missing curl_"},    // opens, but holds none of the functions
  };
  for (const auto& c : cases) {
    CurlLoad load = load_curl_library(c.file);
    EXPECT_FALSE(load.library) << c.file;
    EXPECT_NE(load.error.find(c.error_names), std::string::npos) << c.file << ": " << load.error;
  }
}

class WithoutLibcurl : public ::testing::Test {
 protected:
  void SetUp() override {
    // Linked in, libcurl would cost every start of the program its constructors and memory.
    void* linked = dlopen(kCurlLibraryName, RTLD_LAZY | RTLD_NOLOAD);
    EXPECT_EQ(linked, nullptr) << "libcurl is linked into the core library";
    if (linked) dlclose(linked);

    ASSERT_FALSE(ensure_curl_global_init_from(kAbsentLibrary));
    // The process keeps its first answer: the real library is not tried behind the failed one's back.
    ASSERT_FALSE(ensure_curl_global_init());
    ASSERT_TRUE(server.start());
  }

  standin::StandinServer server;
};

TEST_F(WithoutLibcurl, RequestsFailWithNothingSent) {
  RequestObject holder;
  EXPECT_FALSE(holder.valid());
  for (RequestObject* given : {static_cast<RequestObject*>(nullptr), &holder}) {
    HttpOptions o;
    o.request_object = given;
    o.method = 1;
    o.body_text = "authorId=1";
    o.cookies = "a=1";
    HttpResult r = http_request(server.origin() + "/respond?status=200&body=hi", o);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.body.empty());
    EXPECT_TRUE(r.response_headers.empty());
    EXPECT_EQ(r.cookies, Text("a=1"));
  }
  EXPECT_TRUE(server.requests().empty());
}

TEST_F(WithoutLibcurl, DownloadsFailAndLeaveTheFolderAsItWas) {
  kestrano::testing::TempFolder temp{"kestrano-curl-library"};
  fs::create_directories(temp.path());
  const fs::path target = temp.path() / "v1.mp4";
  std::ofstream(target, std::ios::binary) << "earlier";

  int progress_reports = 0;
  TransferResult r = download_file(server.origin() + "/video/size5000/v1.mp4", target, TransferOptions{},
                                   [&](const TransferProgress&) { ++progress_reports; }, {});
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, TransferError::network);
  EXPECT_NE(r.detail.find("libcurl"), std::string::npos) << r.detail;
  EXPECT_EQ(progress_reports, 0);
  EXPECT_EQ(kestrano::testing::read_file(target), "earlier");
  EXPECT_EQ(temp.entries(), std::vector<std::string>{"v1.mp4"});  // no temporary file either
  EXPECT_TRUE(server.requests().empty());
}

}  // namespace
