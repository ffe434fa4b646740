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
  defaults->setObject(Number::withBool(true).get(), "flag");
  defaults->setObject(Number::withInteger(-42).get(), "count");
  defaults->setObject(Number::withUnsignedInteger(UINT64_MAX).get(), "huge");
  defaults->setObject(Number::withDouble(560).get(), "whole");
  defaults->setObject(Number::withDouble(-0.0).get(), "negative zero");
  defaults->setObject(Data::make("\0\1\2"s).get(), "data");
  defaults->setObject(Date::withTimeIntervalSinceReferenceDate(0.5).get(), "date");
  defaults->setObject(str("x\0y"s).get(), "nul\0key"s);
  defaults->setObject(Array::make({str("a"), Number::withInteger(7)}).get(), "list");
  defaults->setObject(
      Dictionary::make({{"inner", Dictionary::make({{"w", Number::withDouble(1.5)}})}}).get(),
      "nested");
  // Text that is not UTF-8 is kept as the file will give it back.
  defaults->setObject(str("\xFF ok").get(), "bad\xFE");
  defaults->setObject(str("gone").get(), "removed");
  defaults->removeObjectForKey("removed");
  ASSERT_TRUE(defaults->synchronize());

  EXPECT_TRUE(readFile(defaults->file()).starts_with("bplist00"));
  EXPECT_TRUE(plistlib::reads(defaults->file(), R"({
      'text': 'caf\u00e9 <&>', 'flag': True, 'count': -42, 'huge': 2**64 - 1,
      'whole': 560.0, 'negative zero': -0.0, 'data': b'\x00\x01\x02',
      'date': datetime.datetime(2001, 1, 1, 0, 0, 0, 500000), 'nul\x00key': 'x\x00y',
      'list': ['a', 7], 'nested': {'inner': {'w': 1.5}}, 'bad\ufffd': '\ufffd ok'})"));

  auto fresh = UserDefaults::open("com.example.kinds", folder);
  const auto number = [&](const std::string& key) {
    return as<Number>(fresh->objectForKey(key).get());
  };
  EXPECT_EQ(number("flag")->kind(), Number::Kind::Boolean);
  EXPECT_EQ(number("count")->integerValue(), -42);
  EXPECT_EQ(number("huge")->kind(), Number::Kind::Unsigned);
  EXPECT_EQ(number("huge")->unsignedIntegerValue(), UINT64_MAX);
  EXPECT_EQ(number("whole")->kind(), Number::Kind::Real);
  EXPECT_TRUE(std::signbit(number("negative zero")->doubleValue()));
  EXPECT_EQ(as<Data>(fresh->objectForKey("data").get())->bytes(), "\0\1\2"s);
  EXPECT_EQ(as<Date>(fresh->objectForKey("date").get())->timeIntervalSinceReferenceDate(), 0.5);
  EXPECT_EQ(as<String>(fresh->objectForKey("nul\0key"s).get())->utf8(), "x\0y"s);
  EXPECT_EQ(fresh->objectForKey("nul"), nullptr);
  EXPECT_EQ(as<String>(fresh->objectForKey("bad\xEF\xBF\xBD").get())->utf8(), "\xEF\xBF\xBD ok");
  EXPECT_EQ(as<String>(defaults->objectForKey("bad\xFE").get())->utf8(), "\xEF\xBF\xBD ok");
  EXPECT_EQ(fresh->objectForKey("removed"), nullptr);

  const Ref<Object> plain = make<Object>();  // not a property-list object
  EXPECT_THROW(defaults->setObject(plain.get(), "object"), PlatformError);
  EXPECT_THROW(defaults->setObject(Array::make({plain}).get(), "object"), PlatformError);
}

TEST_F(UserDefaultsTest, TextThatIsNotUTF8IsReplacedWhereverItStands) {
  auto defaults = UserDefaults::open("com.example.text", folder);
  const auto keys = [&] {
    std::vector<std::string> names;
    const Ref<Dictionary> all = defaults->dictionaryRepresentation();
    for (const auto& [key, value] : all->entries()) {
      names.push_back(key);
    }
    return names;
  };
  // Keys: valid sequences across the eight-byte steps of the ASCII check
  // are kept; bad bytes after a long ASCII run, a cut-off sequence at the
  // end and an overlong form are replaced, and found under either key.
  const std::string valid = "abcdefg\xC3\xA9xyz\xF0\x9F\x98\x80";
  for (const std::string& key : {valid, "abcdefghijklmnop\xFF"s, "abcdefgh\xC3"s, "\xC0\xAF"s}) {
    defaults->setObject(str(key).get(), key);
  }
  EXPECT_EQ(keys(), (std::vector<std::string>{
                        "abcdefghijklmnop\xEF\xBF\xBD", "abcdefgh\xEF\xBF\xBD",
                        "abcdefg\xC3\xA9xyz\xF0\x9F\x98\x80", "\xEF\xBF\xBD\xEF\xBF\xBD"}));
  EXPECT_EQ(as<String>(defaults->objectForKey(valid).get())->utf8(), valid);
  EXPECT_EQ(as<String>(defaults->objectForKey("abcdefgh\xC3").get())->utf8(),
            "abcdefgh\xEF\xBF\xBD");
  EXPECT_EQ(as<String>(defaults->objectForKey("\xEF\xBF\xBD\xEF\xBF\xBD").get())->utf8(),
            "\xEF\xBF\xBD\xEF\xBF\xBD");

  // Values: a valid value is stored as it is, small or large; text deep in
  // a small value, or at the end of a large one, is replaced.
  const Ref<Dictionary> record =
      Dictionary::make({{"width", Number::withDouble(640)}, {"height", Number::withDouble(480)}});
  defaults->setObject(record.get(), "record");
  EXPECT_EQ(defaults->objectForKey("record"), record);
  std::vector<Ref<Object>> many(300, str("fine"));
  const Ref<Array> large = Array::make(many);
  defaults->setObject(large.get(), "large");
  EXPECT_EQ(defaults->objectForKey("large"), large);
  defaults->setObject(
      Array::make({str("ok"), Dictionary::make({{"k\xFE", Array::make({str("v\xFF")})}})}).get(),
      "deep");
  const auto* deep = as<Array>(defaults->objectForKey("deep").get());
  const auto* inner = as<Dictionary>(deep->objectAtIndex(1));
  ASSERT_NE(inner->objectForKey("k\xEF\xBF\xBD"), nullptr);
  EXPECT_EQ(as<String>(as<Array>(inner->objectForKey("k\xEF\xBF\xBD"))->objectAtIndex(0))->utf8(),
            "v\xEF\xBF\xBD");
  many.back() = str("\xFF last");
  defaults->setObject(Array::make(many).get(), "large");
  const auto* replaced = as<Array>(defaults->objectForKey("large").get());
  ASSERT_EQ(replaced->count(), 300U);
  EXPECT_EQ(as<String>(replaced->objectAtIndex(299))->utf8(), "\xEF\xBF\xBD last");
  EXPECT_EQ(replaced->objectAtIndex(0), many.front().get());

  // A value sharing its members (2^40 paths to the string below) is checked
  // and replaced member by member, and stays shared.
  Ref<Object> doubling = str("shared \xFF");
  for (int level = 0; level < 40; ++level) doubling = Array::make({doubling, doubling});
  defaults->setObject(doubling.get(), "doubling");
  const Ref<Object> stored = defaults->objectForKey("doubling");
  ASSERT_NE(stored, doubling);
  const auto* level = as<Array>(stored.get());
  for (int depth = 1; depth < 40; ++depth) {
    ASSERT_NE(level, nullptr) << depth;
    ASSERT_EQ(level->objectAtIndex(0), level->objectAtIndex(1)) << depth;
    level = as<Array>(level->objectAtIndex(0));
  }
  ASSERT_NE(level, nullptr);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(as<String>(level->objectAtIndex(i))->utf8(), "shared \xEF\xBF\xBD");
  }
}

TEST_F(UserDefaultsTest, WhatIsNotAPropertyListIsRefusedAnywhereInAValue) {
  auto defaults = UserDefaults::open("com.example.refused", folder);
  const Ref<Object> plain = make<Object>();
  std::vector<Ref<Object>> many(300, Number::withInteger(1));
  defaults->setObject(Array::make(many).get(), "ok");
  many.back() = plain;
  EXPECT_THROW(defaults->setObject(Array::make(many).get(), "late"), PlatformError);
  EXPECT_THROW(defaults->setObject(Dictionary::make({{"k", Array::make({nullptr})}}).get(), "nil"),
               PlatformError);
  EXPECT_THROW(defaults->setObject(Dictionary::make({{"k", plain}}).get(), "plain"), PlatformError);
  // Nesting: as deep as the limit is a property list, one deeper is not.
  const auto nested = [](int depth) {
    Ref<Object> value = Number::withInteger(0);
    for (int i = 0; i < depth; ++i) value = Array::make({value});
    return value;
  };
  defaults->setObject(nested(kMaxPropertyListDepth).get(), "deepest");
  EXPECT_THROW(defaults->setObject(nested(kMaxPropertyListDepth + 1).get(), "deeper"),
               PlatformError);
  EXPECT_NE(defaults->objectForKey("ok"), nullptr);
  EXPECT_EQ(defaults->objectForKey("late"), nullptr);
  EXPECT_EQ(defaults->objectForKey("deeper"), nullptr);
  EXPECT_NE(defaults->objectForKey("deepest"), nullptr);
}

TEST_F(UserDefaultsTest, AReplacedOrRemovedValueIsReleasedAndAbsentKeysWriteNothing) {
  auto defaults = UserDefaults::open("com.example.replaced", folder);
  Weak<Object> first;
  Weak<Object> second;
  {
    const Ref<Object> a = Dictionary::make({{"w", Number::withDouble(1)}});
    const Ref<Object> b = Dictionary::make({{"w", Number::withDouble(2)}});
    first = a;
    second = b;
    defaults->setObject(a.get(), "size");
    defaults->setObject(b.get(), "size");
  }
  EXPECT_EQ(first.lock(), nullptr);
  EXPECT_EQ(defaults->objectForKey("size"), second.lock());
  EXPECT_NE(second.lock(), nullptr);
  defaults->removeObjectForKey("size");
  EXPECT_EQ(second.lock(), nullptr);
  EXPECT_EQ(defaults->objectForKey("size"), nullptr);
  ASSERT_TRUE(defaults->synchronize());
  EXPECT_EQ(defaults->fileWrites(), 1U);
  EXPECT_TRUE(plistlib::reads(defaults->file(), "{}"));

  // Removing what is not there changes nothing, so nothing is written.
  defaults->removeObjectForKey("size");
  defaults->removeObjectForKey("never");
  MainQueue::main().runFor(seconds(1.5));
  ASSERT_TRUE(defaults->synchronize());
  EXPECT_EQ(defaults->fileWrites(), 1U);
}

TEST_F(UserDefaultsTest, TheHostsValuesOfEveryKindSurviveAWriteOfAnotherKey) {
  const fs::path file = folder / "com.example.host.plist";
  plistlib::write(file, kHostPreferences);
  auto defaults = UserDefaults::open("com.example.host", folder);
  EXPECT_EQ(as<Number>(defaults->objectForKey("launches").get())->unsignedIntegerValue(),
            UINT64_MAX);
  EXPECT_EQ(as<String>(defaults->objectForKey("token").get())->utf8(), "a\0b"s);
  defaults->setObject(
      Dictionary::make({{"width", Number::withDouble(640)}, {"height", Number::withDouble(480)}})
          .get(),
      "compose size");
  ASSERT_TRUE(defaults->synchronize());
  EXPECT_TRUE(readFile(file).starts_with("bplist00"));
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
  // Strings holding U+0000 in UTF-16, as key and as value, read as they are.
  const fs::path file = folder / "com.example.nul.plist";
  plistlib::write(file, R"({'\u00e9\x00': 1, 'value': 'caf\u00e9\x00'})");
  auto nul = UserDefaults::open("com.example.nul", folder);
  EXPECT_EQ(as<Number>(nul->objectForKey("\xC3\xA9\0"s).get())->integerValue(), 1);
  EXPECT_EQ(as<String>(nul->objectForKey("value").get())->utf8(), "caf\xC3\xA9\0"s);

  // A file cut short or garbled is kept aside byte for byte, and the domain
  // starts empty; a second damaged file does not replace the first.
  const std::string whole = readFile(file);
  const std::string truncated = whole.substr(0, whole.size() - 5);
  writeFile(file, truncated);
  auto first = UserDefaults::open("com.example.nul", folder);
  EXPECT_EQ(first->dictionaryRepresentation()->count(), 0U);
  EXPECT_EQ(readFile(folder / "com.example.nul.plist.corrupt"), truncated);
  first->setObject(str("new").get(), "a");
  ASSERT_TRUE(first->synchronize());

  std::string garbled = whole;
  garbled[garbled.size() - 9] = '\x7F';  // the top object's number
  writeFile(file, garbled);
  auto second = UserDefaults::open("com.example.nul", folder);
  EXPECT_EQ(second->objectForKey("a"), nullptr);
  EXPECT_EQ(readFile(folder / "com.example.nul.plist.corrupt-1"), garbled);
  EXPECT_EQ(readFile(folder / "com.example.nul.plist.corrupt"), truncated);

  // So is XML that is not a property list.
  writeFile(file, "<?xml version=\"1.0\"?><plist><dict><key>a</key>");
  auto third = UserDefaults::open("com.example.nul", folder);
  EXPECT_EQ(readFile(folder / "com.example.nul.plist.corrupt-2"),
            "<?xml version=\"1.0\"?><plist><dict><key>a</key>");
  // A file damaged by another writer after it was read is kept aside at the
  // next write, and what this process holds is written.
  third->setObject(str("kept").get(), "mine");
  ASSERT_TRUE(third->synchronize());
  writeFile(file, "not a property list");
  third->setObject(str("still kept").get(), "mine");
  ASSERT_TRUE(third->synchronize());
  EXPECT_EQ(readFile(folder / "com.example.nul.plist.corrupt-3"), "not a property list");
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
  plistlib::Run other = plistlib::python(
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

  // A tool that puts a new file in place; this time the coalesced write
  // through the background writer merges.
  other = plistlib::python(
      "d = plistlib.load(open(sys.argv[1], 'rb'))\n"
      "d['replaced'] = True\n"
      "open(sys.argv[1] + '.new', 'wb').write(plistlib.dumps(d, fmt=plistlib.FMT_XML))\n"
      "os.replace(sys.argv[1] + '.new', sys.argv[1])",
      {file.string()});
  ASSERT_EQ(other.status, 0) << other.out;
  defaults->setObject(Number::withInteger(3).get(), "mine");
  MainQueue::main().runFor(seconds(1.5));
  ASSERT_TRUE(defaults->synchronize());  // waits for the background writer
  EXPECT_TRUE(plistlib::reads(
      file, "{'mine': 3, 'theirs to change': 2, 'added': b'\\x00', 'replaced': True}"));
}

TEST_F(UserDefaultsTest, ProcessesWritingTheSameDomainAtOnceLoseNothing) {
  constexpr int kKeys = 20;
  const auto writeKeys = [this](const std::string& who) {
    auto defaults = UserDefaults::open("com.example.busy", folder);
    for (int i = 0; i < kKeys; ++i) {
      defaults->setObject(Number::withInteger(i).get(), who + std::to_string(i));
      if (!defaults->synchronize()) return false;
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

TEST_F(UserDefaultsTest, ABurstOfChangesIsWrittenOnce) {
  auto defaults = UserDefaults::open("com.example.burst", folder);
  for (int i = 0; i < 1000; ++i) defaults->setObject(Number::withInteger(i).get(), "counter");
  EXPECT_EQ(defaults->fileWrites(), 0U);
  EXPECT_FALSE(fs::exists(defaults->file()));
  MainQueue::main().runFor(seconds(1.5));
  EXPECT_TRUE(defaults->synchronize());  // waits for the background writer
  EXPECT_EQ(defaults->fileWrites(), 1U);
  EXPECT_TRUE(defaults->synchronize());  // nothing pending: no write
  EXPECT_EQ(defaults->fileWrites(), 1U);
  EXPECT_EQ(
      as<Number>(UserDefaults::open("com.example.burst", folder)->objectForKey("counter").get())
          ->integerValue(),
      999);
}

TEST_F(UserDefaultsTest, ChangesWithinASecondShareAWriteAndLaterChangesGetTheirOwn) {
  auto defaults = UserDefaults::open("com.example.turns", folder);
  const auto stored = [&] {
    defaults->synchronize();  // waits for a write in progress, starts none
    const Ref<Number> number =
        as<Number>(UserDefaults::open("com.example.turns", folder)->objectForKey("n"));
    return number != nullptr ? number->integerValue() : -1;
  };
  // Two changes in separate turns of the main queue, half a second apart:
  // one write, a second after the first change.
  defaults->setObject(Number::withInteger(1).get(), "n");
  MainQueue::main().runFor(seconds(0.5));
  defaults->setObject(Number::withInteger(2).get(), "n");
  MainQueue::main().runFor(seconds(0.4));
  EXPECT_EQ(defaults->fileWrites(), 0U);
  MainQueue::main().runFor(seconds(0.2));
  EXPECT_EQ(stored(), 2);
  EXPECT_EQ(defaults->fileWrites(), 1U);
  // A change after that write is written in its turn.
  defaults->setObject(Number::withInteger(3).get(), "n");
  MainQueue::main().runFor(seconds(1.1));
  EXPECT_EQ(stored(), 3);
  EXPECT_EQ(defaults->fileWrites(), 2U);
  // synchronize writes at once; the timer then finds nothing to write.
  defaults->setObject(Number::withInteger(4).get(), "n");
  EXPECT_TRUE(defaults->synchronize());
  EXPECT_EQ(defaults->fileWrites(), 3U);
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

  // A folder that cannot hold the file: the write fails, nothing is lost.
  auto blocked = UserDefaults::open("com.example.blocked", folder / "not-a-folder");
  writeFile(folder / "not-a-folder", "a file in the way");
  blocked->setObject(str("x").get(), "x");
  EXPECT_FALSE(blocked->synchronize());
  EXPECT_EQ(readFile(folder / "not-a-folder"), "a file in the way");
}

}  // namespace
}  // namespace tovik
