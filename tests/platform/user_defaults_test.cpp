#include "platform/user_defaults.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "platform/main_queue.h"
#include "platform/property_list.h"
#include "tests/platform/plistlib.h"

namespace tovik {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The host's own preferences, of every kind a property list holds.
constexpr const char* kHostPreferences = R"({
  'NSWindow Frame main': '0 0 800 600',
  'bookmark': b'\x00\x01book\xffmark',
  'lastLaunch': datetime.datetime(2025, 1, 1, 12, 30, 0, 500000),
  'launches': 2**64 - 1,
  'oldest': -2**63,
  'token': 'a\x00b',
  '\u00e9\x00': -0.0,
  'flags': [True, False, 1.5, {}],
  'nested': {'k\x00': [datetime.datetime(1999, 12, 31), b'', 'caf\u00e9']},
})";

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
  defaults->setObject(Number::withUnsignedInteger(UINT64_MAX).get(), "huge");
  defaults->setObject(Number::withDouble(-0.0).get(), "negative zero");
  defaults->setObject(Date::withTimeIntervalSinceReferenceDate(0.5).get(), "date");
  defaults->setObject(str("x\0y"s).get(), "nul\0key"s);
  defaults->setObject(
      Array::make({Data::make("\0\1"s), Dictionary::make({{"w", Number::withDouble(1.5)}})}).get(),
      "list");
  defaults->setObject(str("gone").get(), "removed");
  defaults->removeObjectForKey("removed");
  ASSERT_TRUE(defaults->synchronize());
  EXPECT_TRUE(plistlib::reads(defaults->file(), R"({
      'text': 'caf\u00e9 <&>', 'huge': 2**64 - 1, 'negative zero': -0.0,
      'date': datetime.datetime(2001, 1, 1, 0, 0, 0, 500000), 'nul\x00key': 'x\x00y',
      'list': [b'\x00\x01', {'w': 1.5}]})"));

  auto fresh = UserDefaults::open("com.example.kinds", folder);
  EXPECT_EQ(as<Number>(fresh->objectForKey("huge").get())->kind(), Number::Kind::Unsigned);
  EXPECT_EQ(as<String>(fresh->objectForKey("nul\0key"s).get())->utf8(), "x\0y"s);
  EXPECT_EQ(fresh->objectForKey("nul"), nullptr);
  EXPECT_EQ(fresh->objectForKey("removed"), nullptr);
}

TEST_F(UserDefaultsTest, TextThatIsNotUTF8IsReplacedWhereverItStands) {
  auto defaults = UserDefaults::open("com.example.text", folder);
  // Keys: valid sequences across the eight-byte steps of the ASCII check
  // are kept; bad bytes after a long ASCII run, a cut-off sequence at the
  // end and an overlong form are replaced, and found under either key.
  const std::string valid = "abcdefg\xC3\xA9xyz\xF0\x9F\x98\x80";
  for (const std::string& key : {valid, "abcdefghijklmnop\xFF"s, "abcdefgh\xC3"s, "\xC0\xAF"s}) {
    defaults->setObject(str(key).get(), key);
  }
  std::vector<std::string> keys;
  const Ref<Dictionary> all = defaults->dictionaryRepresentation();
  for (const auto& [key, value] : all->entries()) {
    keys.push_back(key);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"abcdefghijklmnop\xEF\xBF\xBD", "abcdefgh\xEF\xBF\xBD",
                                            "abcdefg\xC3\xA9xyz\xF0\x9F\x98\x80",
                                            "\xEF\xBF\xBD\xEF\xBF\xBD"}));
  EXPECT_EQ(as<String>(defaults->objectForKey("abcdefgh\xC3").get())->utf8(),
            "abcdefgh\xEF\xBF\xBD");

  // Values: a valid value is stored as it is; text deep in a value, or at
  // the end of a large one, is replaced, and the rest kept.
  std::vector<Ref<Object>> many(300, str("fine"));
  const Ref<Array> large = Array::make(many);
  defaults->setObject(large.get(), "large");
  EXPECT_EQ(defaults->objectForKey("large"), large);
  many.back() = str("\xFF last");
  defaults->setObject(Array::make(many).get(), "large");
  const auto* replaced = as<Array>(defaults->objectForKey("large").get());
  EXPECT_EQ(replaced->objectAtIndex(0), many.front().get());
  EXPECT_EQ(as<String>(replaced->objectAtIndex(299))->utf8(), "\xEF\xBF\xBD last");
  defaults->setObject(Dictionary::make({{"k\xFE", Array::make({str("v\xFF")})}}).get(), "deep");
  const auto* inner = as<Array>(
      as<Dictionary>(defaults->objectForKey("deep").get())->objectForKey("k\xEF\xBF\xBD"));
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(as<String>(inner->objectAtIndex(0))->utf8(), "v\xEF\xBF\xBD");

  // A value sharing its members (2^40 paths to the string below) is checked
  // and replaced member by member, and stays shared.
  Ref<Object> doubling = str("shared \xFF");
  for (int level = 0; level < 40; ++level) doubling = Array::make({doubling, doubling});
  defaults->setObject(doubling.get(), "doubling");
  const auto* level = as<Array>(defaults->objectForKey("doubling").get());
  for (int depth = 1; depth < 40; ++depth) {
    ASSERT_NE(level, nullptr) << depth;
    ASSERT_EQ(level->objectAtIndex(0), level->objectAtIndex(1)) << depth;
    level = as<Array>(level->objectAtIndex(0));
  }
  ASSERT_NE(level, nullptr);
  EXPECT_EQ(as<String>(level->objectAtIndex(1))->utf8(), "shared \xEF\xBF\xBD");
}

TEST_F(UserDefaultsTest, WhatIsNotAPropertyListIsRefusedAnywhereInAValue) {
  auto defaults = UserDefaults::open("com.example.refused", folder);
  const Ref<Object> plain = make<Object>();
  std::vector<Ref<Object>> many(300, Number::withInteger(1));
  many.back() = plain;
  EXPECT_THROW(defaults->setObject(Array::make(many).get(), "late"), PlatformError);
  EXPECT_THROW(defaults->setObject(Dictionary::make({{"k", Array::make({nullptr})}}).get(), "nil"),
               PlatformError);
  // Nesting: as deep as the limit is a property list, one deeper is not.
  const auto nested = [](int depth) {
    Ref<Object> value = Number::withInteger(0);
    for (int i = 0; i < depth; ++i) value = Array::make({value});
    return value;
  };
  defaults->setObject(nested(kMaxPropertyListDepth).get(), "deepest");
  EXPECT_THROW(defaults->setObject(nested(kMaxPropertyListDepth + 1).get(), "deeper"),
               PlatformError);
  EXPECT_EQ(defaults->dictionaryRepresentation()->count(), 1U);
}

TEST_F(UserDefaultsTest, TheHostsValuesOfEveryKindSurviveAWriteOfAnotherKey) {
  const fs::path file = folder / "com.example.host.plist";
  plistlib::write(file, kHostPreferences);
  auto defaults = UserDefaults::open("com.example.host", folder);
  defaults->setObject(
      Dictionary::make({{"width", Number::withDouble(640)}, {"height", Number::withDouble(480)}})
          .get(),
      "compose size");
  ASSERT_TRUE(defaults->synchronize());
  EXPECT_TRUE(plistlib::reads(
      file,
      "dict("s + kHostPreferences + ", **{'compose size': {'width': 640.0, 'height': 480.0}})"));

  // A file in XML, as earlier versions of this store wrote, is written back
  // in the binary form with everything in it.
  const fs::path xml = folder / "com.example.earlier.plist";
  const std::string earlier =
      "{'size': {'width': 560.0, 'height': 520.0}, 'count': 3, 'when': "
      "datetime.datetime(2020, 2, 29, 23, 59, 59), 'blob': b'\\x00', 'huge': 2**64 - 1}";
  plistlib::write(xml, earlier, "FMT_XML");
  auto upgraded = UserDefaults::open("com.example.earlier", folder);
  upgraded->setObject(Number::withBool(true).get(), "upgraded");
  ASSERT_TRUE(upgraded->synchronize());
  EXPECT_TRUE(readFile(xml).starts_with("bplist00"));
  EXPECT_TRUE(plistlib::reads(xml, "dict(" + earlier + ", upgraded=True)"));
}

TEST_F(UserDefaultsTest, ADamagedFileNeverAbortsTheProcessAndIsKeptAside) {
  // A file cut short or garbled is kept aside byte for byte, and the domain
  // starts empty; a second damaged file does not replace the first.
  const fs::path file = folder / "com.example.damaged.plist";
  plistlib::write(file, "{'a': 1, 'b': 'caf\\u00e9'}");
  const std::string whole = readFile(file);
  const std::string truncated = whole.substr(0, whole.size() - 5);
  writeFile(file, truncated);
  auto first = UserDefaults::open("com.example.damaged", folder);
  EXPECT_EQ(first->dictionaryRepresentation()->count(), 0U);
  EXPECT_EQ(readFile(folder / "com.example.damaged.plist.corrupt"), truncated);

  std::string garbled = whole;
  garbled[garbled.size() - 9] = '\x7F';  // the top object's number
  writeFile(file, garbled);
  auto second = UserDefaults::open("com.example.damaged", folder);
  EXPECT_EQ(second->dictionaryRepresentation()->count(), 0U);
  EXPECT_EQ(readFile(folder / "com.example.damaged.plist.corrupt-1"), garbled);
  EXPECT_EQ(readFile(folder / "com.example.damaged.plist.corrupt"), truncated);

  // A file damaged by another writer after it was read is kept aside at the
  // next write, and what this process holds is written.
  second->setObject(str("kept").get(), "mine");
  ASSERT_TRUE(second->synchronize());
  writeFile(file, "not a property list");
  second->setObject(str("still kept").get(), "mine");
  ASSERT_TRUE(second->synchronize());
  EXPECT_EQ(readFile(folder / "com.example.damaged.plist.corrupt-2"), "not a property list");
  EXPECT_TRUE(plistlib::reads(file, "{'mine': 'still kept'}"));
}

TEST_F(UserDefaultsTest, AFileThatCannotBeReadIsNeverReplaced) {
  for (const bool fifo : {false, true}) {
    const std::string domain = fifo ? "com.example.fifo" : "com.example.directory";
    const fs::path file = folder / (domain + ".plist");
    if (fifo) {
      ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);  // opening it to read must not wait
    } else {
      fs::create_directory(file);
      writeFile(file / "inside", "x");
    }
    auto defaults = UserDefaults::open(domain, folder);
    defaults->setObject(str("in memory").get(), "key");
    EXPECT_EQ(as<String>(defaults->objectForKey("key").get())->utf8(), "in memory");
    EXPECT_FALSE(defaults->synchronize());
    MainQueue::main().runFor(seconds(1.5));  // the background writer fails too
    EXPECT_FALSE(defaults->synchronize());
    EXPECT_EQ(defaults->fileWrites(), 0U);
    EXPECT_TRUE(fifo ? fs::is_fifo(file) : fs::is_directory(file));
    EXPECT_EQ(namesIn(folder), std::vector{file.filename().string()});

    // Once the file can be read, the change still pending goes out beside
    // what the file holds.
    fs::remove_all(file);
    plistlib::write(file, "{'host': 'value'}");
    EXPECT_TRUE(defaults->synchronize());
    EXPECT_TRUE(plistlib::reads(file, "{'host': 'value', 'key': 'in memory'}"));
    fs::remove(file);
  }
}

TEST_F(UserDefaultsTest, AnotherProcessesChangesSurviveTheNextWrite) {
  auto defaults = UserDefaults::open("com.example.shared", folder);
  for (const char* key : {"mine", "theirs to change", "theirs to remove"}) {
    defaults->setObject(Number::withInteger(1).get(), key);
  }
  ASSERT_TRUE(defaults->synchronize());

  // Another process rewrites the file in place, then this one changes a key
  // that process changed too: this process's change wins that key, and the
  // other process's changes hold for the rest, on disk and in memory.
  const fs::path file = defaults->file();
  const plistlib::Run other = plistlib::python(
      "d = plistlib.load(open(sys.argv[1], 'rb'))\n"
      "d.update({'added': b'\\x00', 'theirs to change': 2, 'mine': 'overwritten'})\n"
      "del d['theirs to remove']\n"
      "open(sys.argv[1], 'wb').write(plistlib.dumps(d, fmt=plistlib.FMT_BINARY))",
      {file.string()});
  ASSERT_EQ(other.status, 0) << other.out;
  defaults->setObject(Number::withInteger(2).get(), "mine");
  ASSERT_TRUE(defaults->synchronize());
  EXPECT_TRUE(plistlib::reads(file, "{'mine': 2, 'theirs to change': 2, 'added': b'\\x00'}"));
  EXPECT_EQ(as<Number>(defaults->objectForKey("theirs to change").get())->integerValue(), 2);
  EXPECT_EQ(as<Data>(defaults->objectForKey("added").get())->bytes(), "\0"s);
  EXPECT_EQ(defaults->objectForKey("theirs to remove"), nullptr);

  // Another process writing the same domain at once loses nothing.
  constexpr int kKeys = 20;
  const auto writeKeys = [this](const std::string& who) {
    auto busy = UserDefaults::open("com.example.busy", folder);
    for (int i = 0; i < kKeys; ++i) {
      busy->setObject(Number::withInteger(i).get(), who + std::to_string(i));
      if (!busy->synchronize()) return false;
    }
    return true;
  };
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit(writeKeys("child ") ? 0 : 1);
  EXPECT_TRUE(writeKeys("parent "));
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(UserDefaults::open("com.example.busy", folder)->dictionaryRepresentation()->count(),
            2U * kKeys);
}

TEST_F(UserDefaultsTest, TheMainThreadNeverWaitsForTheDisk) {
  auto defaults = UserDefaults::open("com.example.slow", folder);
  defaults->setObject(str("first").get(), "value");
  ASSERT_TRUE(defaults->synchronize());

  // Another writer holds the folder, so the background writer waits. Were
  // the main thread to wait with it, the watchdog would free it.
  const int held = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::atomic<bool> freedByWatchdog{false};
  std::thread watchdog([&] {
    std::unique_lock lock(mutex);
    if (!finished.wait_for(lock, std::chrono::seconds(30), [&] { return done; })) {
      freedByWatchdog = true;
      ::flock(held, LOCK_UN);
    }
  });
  for (int frame = 0; frame < 600; ++frame) {  // ten seconds of a live resize
    defaults->setObject(Number::withInteger(frame).get(), "frame");
    MainQueue::main().runFor(seconds(1.0 / 60));
  }
  {
    std::lock_guard lock(mutex);
    done = true;
  }
  finished.notify_one();
  watchdog.join();
  EXPECT_FALSE(freedByWatchdog);
  EXPECT_EQ(defaults->fileWrites(), 1U);  // the writer is still waiting
  EXPECT_TRUE(plistlib::reads(defaults->file(), "{'value': 'first'}"));

  ::close(held);
  EXPECT_TRUE(defaults->synchronize());  // waits for the writer
  EXPECT_TRUE(plistlib::reads(defaults->file(), "{'value': 'first', 'frame': 599}"));
}

TEST_F(UserDefaultsTest, AWriterKilledMidWriteLeavesACompleteFileAndNoLitter) {
  const std::string domain = "com.example.killed";
  const fs::path file = folder / (domain + ".plist");
  const std::string temporary = "." + domain + ".plist.";
  const auto temporariesOf = [&](const std::string& writer) {
    std::vector<std::string> found;
    for (const std::string& name : namesIn(folder)) {
      if (name.starts_with(temporary + writer)) found.push_back(name);
    }
    return found;
  };
  const auto write = [](UserDefaults* defaults, int generation) {
    defaults->setObject(Data::make(std::string(1U << 21U, static_cast<char>(generation))).get(),
                        "blob");
    defaults->setObject(Number::withInteger(generation).get(), "generation");
    return defaults->synchronize();
  };
  ASSERT_TRUE(write(UserDefaults::open(domain, folder).get(), 0));
  bool litter = false;
  for (int attempt = 0; attempt < 20 && !litter; ++attempt) {
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
      auto defaults = UserDefaults::open(domain, folder);
      for (int generation = 1;; ++generation) write(defaults.get(), generation);
    }
    // Killed as soon as its temporary file shows.
    const std::string pid = std::to_string(writer);
    for (int wait = 0; wait < 100000 && temporariesOf(pid + ".").empty(); ++wait) ::usleep(100);
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    litter = !temporariesOf(pid + ".").empty();
    // The file is the old one or the new one, whole.
    {
      const plistlib::Run whole = plistlib::python(
          "d = plistlib.load(open(sys.argv[1], 'rb'))\n"
          "sys.exit(0 if d['blob'] == bytes([d['generation'] % 256]) * (1 << 21) else 1)",
          {file.string()});
      EXPECT_EQ(whole.status, 0) << whole.out;
    }
  }
  ASSERT_TRUE(litter) << "no write was ever cut short";

  // Opening the domain removes what killed writers left; a temporary of a
  // writer still running (here, the process that started this test) stays.
  const std::string running = temporary + std::to_string(::getppid()) + ".Ab12Cd";
  writeFile(folder / running, "being written");
  auto reopened = UserDefaults::open(domain, folder);
  EXPECT_EQ(namesIn(folder), (std::vector{running, file.filename().string()}));
  EXPECT_NE(reopened->objectForKey("generation"), nullptr);
}

TEST_F(UserDefaultsTest, ChangesWithinASecondShareAWriteAndLaterChangesGetTheirOwn) {
  auto defaults = UserDefaults::open("com.example.turns", folder);
  const auto stored = [&] {
    defaults->synchronize();  // waits for a write in progress, starts none
    const Ref<Number> number =
        as<Number>(UserDefaults::open("com.example.turns", folder)->objectForKey("n"));
    return number != nullptr ? number->integerValue() : -1;
  };
  // A burst of changes, and another in a later turn of the main queue half
  // a second on: one write, a second after the first change.
  for (int i = 0; i < 1000; ++i) defaults->setObject(Number::withInteger(i).get(), "n");
  MainQueue::main().runFor(seconds(0.5));
  defaults->setObject(Number::withInteger(2).get(), "n");
  MainQueue::main().runFor(seconds(0.4));
  EXPECT_FALSE(fs::exists(defaults->file()));
  MainQueue::main().runFor(seconds(0.2));
  EXPECT_EQ(stored(), 2);
  EXPECT_EQ(defaults->fileWrites(), 1U);
  // A change after that write is written in its turn.
  defaults->setObject(Number::withInteger(3).get(), "n");
  MainQueue::main().runFor(seconds(1.1));
  EXPECT_EQ(stored(), 3);
  EXPECT_EQ(defaults->fileWrites(), 2U);
  // synchronize writes at once; the timer then finds nothing to write, nor
  // does removing what is not there.
  defaults->setObject(Number::withInteger(4).get(), "n");
  EXPECT_TRUE(defaults->synchronize());
  EXPECT_EQ(defaults->fileWrites(), 3U);
  defaults->removeObjectForKey("never");
  MainQueue::main().runFor(seconds(1.1));
  EXPECT_TRUE(defaults->synchronize());
  EXPECT_EQ(defaults->fileWrites(), 3U);
  EXPECT_EQ(stored(), 4);
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
  EXPECT_EQ(namesIn(folder).size(), 1U);  // no temporary file left behind

  // The change stayed pending and goes out once the disk takes it.
  EXPECT_TRUE(defaults->synchronize());
  EXPECT_EQ(
      as<String>(UserDefaults::open("com.example.failing", folder)->objectForKey("value").get())
          ->utf8(),
      "a value long enough to pass the limit");
}

}  // namespace
}  // namespace tovik
