// How the store replaces a domain's file, as the file system sees it: the
// C library's fsync and rename are wrapped here (a program's own
// definitions come before the C library's, for the shared library too),
// noted, and passed on.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/main_queue.h"
#include "platform/user_defaults.h"

namespace {

struct Rename {
  std::string to;
  bool fromFlushed;  // the file renamed was flushed to disk before
  bool toExisted;    // something was at the destination until the rename
};

struct Noted {
  std::set<ino_t> flushed;
  std::vector<Rename> renames;
  std::vector<ino_t> flushedAfterRename;  // flushed since the last rename
};

Noted& noted() {
  static Noted calls;
  return calls;
}

template <class F>
F* real(const char* name) {
  return reinterpret_cast<F*>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int fsync(int fd) {
  static auto* const next = real<int(int)>("fsync");
  struct stat status {};
  if (::fstat(fd, &status) == 0) {
    noted().flushed.insert(status.st_ino);
    noted().flushedAfterRename.push_back(status.st_ino);
  }
  return next(fd);
}

extern "C" int rename(const char* from, const char* to) {
  static auto* const next = real<int(const char*, const char*)>("rename");
  struct stat source {};
  struct stat destination {};
  const bool fromFlushed = ::lstat(from, &source) == 0 && noted().flushed.contains(source.st_ino);
  noted().renames.push_back({to, fromFlushed, ::lstat(to, &destination) == 0});
  noted().flushedAfterRename.clear();
  return next(from, to);
}

namespace tovik {
namespace {

namespace fs = std::filesystem;

TEST(DurableWriteTest, AFileIsReplacedWholeFlushedAndNeverMissing) {
  std::string pattern = (fs::temp_directory_path() / "tovik-durable-XXXXXX").string();
  const fs::path folder = ::mkdtemp(pattern.data());
  ManualClock clock;
  MainQueue::main().useClock(&clock);
  auto defaults = UserDefaults::open("com.example.durable", folder);
  for (const char* value : {"first", "second"}) {
    defaults->setObject(str(value).get(), "key");
    ASSERT_TRUE(defaults->synchronize());
    // The new file's bytes reach the disk before it takes the name, the
    // old file holds the name until then, and the rename itself is made
    // durable by flushing the folder.
    ASSERT_FALSE(noted().renames.empty());
    const Rename& last = noted().renames.back();
    EXPECT_EQ(last.to, defaults->file().string()) << value;
    EXPECT_TRUE(last.fromFlushed) << value;
    EXPECT_EQ(last.toExisted, std::string(value) == "second");
    struct stat status {};
    ASSERT_EQ(::stat(folder.c_str(), &status), 0);
    EXPECT_NE(std::find(noted().flushedAfterRename.begin(), noted().flushedAfterRename.end(),
                        status.st_ino),
              noted().flushedAfterRename.end())
        << value;
  }
  MainQueue::main().useClock(nullptr);
  fs::remove_all(folder);
}

}  // namespace
}  // namespace tovik
