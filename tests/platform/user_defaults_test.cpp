#include "platform/user_defaults.h"

#include <gtest/gtest.h>
#include <plist/plist.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/main_queue.h"
#include "platform/property_list.h"

namespace tovik {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class UserDefaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tovik-defaults-XXXXXX").string();
    folder = mkdtemp(pattern.data());
    MainQueue::main().useClock(&clock);
  }
  void TearDown() override {
    MainQueue::main().useClock(nullptr);
    fs::remove_all(folder);
  }
  ManualClock clock;
  fs::path folder;
};

TEST_F(UserDefaultsTest, ValuesOfEveryKindSurviveAWriteAndAFreshRead) {
  auto defaults = UserDefaults::open("com.example.kinds", folder);
  defaults->setObject(str("caf\xC3\xA9 <&>").get(), "text");
  defaults->setObject(Number::withBool(true).get(), "flag");
  defaults->setObject(Number::withInteger(-42).get(), "count");
  defaults->setObject(Number::withDouble(560).get(), "whole");
  defaults->setObject(Number::withDouble(0.1).get(), "fraction");
  defaults->setObject(Array::make({str("a"), Number::withInteger(7)}).get(), "list");
  defaults->setObject(
      Dictionary::make({{"inner", Dictionary::make({{"w", Number::withDouble(1.5)}})}}).get(),
      "nested");
  defaults->setObject(str("gone").get(), "removed");
  defaults->removeObjectForKey("removed");
  ASSERT_TRUE(defaults->synchronize());

  const std::string xml = readFile(defaults->file());
  EXPECT_NE(xml.find("<key>whole</key>\n\t<real>560"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<true/>"), std::string::npos);
  EXPECT_EQ(xml.find("removed"), std::string::npos);

  auto fresh = UserDefaults::open("com.example.kinds", folder);
  EXPECT_EQ(as<String>(fresh->objectForKey("text").get())->utf8(), "caf\xC3\xA9 <&>");
  const auto number = [&](const char* key) { return as<Number>(fresh->objectForKey(key).get()); };
  EXPECT_EQ(number("flag")->kind(), Number::Kind::Boolean);
  EXPECT_EQ(number("count")->kind(), Number::Kind::Integer);
  EXPECT_EQ(number("count")->integerValue(), -42);
  EXPECT_EQ(number("whole")->kind(), Number::Kind::Real);
  EXPECT_EQ(number("fraction")->doubleValue(), 0.1);
  const auto* list = as<Array>(fresh->objectForKey("list").get());
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->count(), 2U);
  const auto* nested = as<Dictionary>(fresh->objectForKey("nested").get());
  const auto* inner = as<Dictionary>(nested->objectForKey("inner"));
  EXPECT_EQ(as<Number>(inner->objectForKey("w"))->doubleValue(), 1.5);
  EXPECT_EQ(fresh->objectForKey("removed"), nullptr);

  // The binary form is read too.
  plist_t root = plist_new_dict();
  plist_dict_set_item(root, "size", plist_new_real(12.5));
  char* bin = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(root, &bin, &length);
  writeFile(folder / "com.example.binary.plist", std::string(bin, length));
  plist_to_bin_free(bin);
  plist_free(root);
  auto binary = UserDefaults::open("com.example.binary", folder);
  EXPECT_EQ(as<Number>(binary->objectForKey("size").get())->doubleValue(), 12.5);

  const Ref<Object> plain = make<Object>();  // not a property-list object
  EXPECT_THROW(defaults->setObject(plain.get(), "object"), PlatformError);
}

TEST_F(UserDefaultsTest, ABurstOfChangesIsWrittenOnce) {
  auto defaults = UserDefaults::open("com.example.burst", folder);
  for (int i = 0; i < 1000; ++i) defaults->setObject(Number::withInteger(i).get(), "counter");
  EXPECT_EQ(defaults->fileWrites(), 0U);
  EXPECT_FALSE(fs::exists(defaults->file()));
  MainQueue::main().runFor(seconds(1.5));
  EXPECT_EQ(defaults->fileWrites(), 1U);
  EXPECT_TRUE(defaults->synchronize());  // nothing pending: no write
  EXPECT_EQ(defaults->fileWrites(), 1U);
  EXPECT_EQ(
      as<Number>(UserDefaults::open("com.example.burst", folder)->objectForKey("counter").get())
          ->integerValue(),
      999);
}

TEST_F(UserDefaultsTest, AnUnreadableFileIsKeptAsideAndNeverOverwritten) {
  const fs::path file = folder / "com.example.corrupt.plist";
  writeFile(file, "<?xml version=\"1.0\"?><plist><dict><key>a</key>");
  auto first = UserDefaults::open("com.example.corrupt", folder);
  EXPECT_EQ(first->dictionaryRepresentation()->count(), 0U);
  EXPECT_EQ(readFile(folder / "com.example.corrupt.plist.corrupt"),
            "<?xml version=\"1.0\"?><plist><dict><key>a</key>");
  first->setObject(str("new").get(), "a");
  ASSERT_TRUE(first->synchronize());

  writeFile(file, "not a property list");
  auto second = UserDefaults::open("com.example.corrupt", folder);
  EXPECT_EQ(second->objectForKey("a"), nullptr);
  EXPECT_EQ(readFile(folder / "com.example.corrupt.plist.corrupt-1"), "not a property list");
  EXPECT_EQ(readFile(folder / "com.example.corrupt.plist.corrupt"),
            "<?xml version=\"1.0\"?><plist><dict><key>a</key>");
}

TEST_F(UserDefaultsTest, AFailedWriteLeavesThePreviousFileIntact) {
  auto defaults = UserDefaults::open("com.example.failing", folder);
  defaults->setObject(str("kept").get(), "value");
  ASSERT_TRUE(defaults->synchronize());
  const std::string before = readFile(defaults->file());

  // The disk refuses the write (a file-size limit holds also for root).
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit tiny = saved;
  tiny.rlim_cur = 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
  defaults->setObject(str("a value long enough to pass the limit").get(), "value");
  EXPECT_FALSE(defaults->synchronize());
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(readFile(defaults->file()), before);
  std::vector<fs::path> left;
  for (const auto& entry : fs::directory_iterator(folder)) left.push_back(entry.path());
  EXPECT_EQ(left.size(), 1U);  // no temporary file left behind

  // The change stayed pending and goes out once the disk takes it.
  EXPECT_TRUE(defaults->synchronize());
  EXPECT_EQ(
      as<String>(UserDefaults::open("com.example.failing", folder)->objectForKey("value").get())
          ->utf8(),
      "a value long enough to pass the limit");

  // A folder that cannot hold the file: the write fails, nothing is lost.
  auto blocked = UserDefaults::open("com.example.blocked", folder / "not-a-folder");
  writeFile(folder / "not-a-folder", "a file in the way");
  blocked->setObject(str("x").get(), "x");
  EXPECT_FALSE(blocked->synchronize());
  EXPECT_EQ(readFile(folder / "not-a-folder"), "a file in the way");
}

}  // namespace
}  // namespace tovik
