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
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
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

TEST_F(UserDefaultsTest, AValueIsCheckedThroughoutTextNotUTF8ReplacedTheRestRefused) {
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
  for (const auto& entry : all->entries()) keys.push_back(entry.first);
  EXPECT_EQ(keys, (std::vector<std::string>{"abcdefghijklmnop\xEF\xBF\xBD", "abcdefgh\xEF\xBF\xBD",
                                            valid, "\xEF\xBF\xBD\xEF\xBF\xBD"}));
  EXPECT_EQ(as<String>(defaults->objectForKey("abcdefgh\xC3").get())->utf8(),
            "abcdefgh\xEF\xBF\xBD");

  // Values: text deep in a value is replaced, and the rest kept.
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
  for (int depth = 1; depth < 40 && level != nullptr; ++depth) {
    ASSERT_EQ(level->objectAtIndex(0), level->objectAtIndex(1)) << depth;
    level = as<Array>(level->objectAtIndex(0));
  }
  ASSERT_NE(level, nullptr);
  EXPECT_EQ(as<String>(level->objectAtIndex(1))->utf8(), "shared \xEF\xBF\xBD");

  // What is not a property list, anywhere in a value, is refused; so is
  // nesting one deeper than the file's top dictionary leaves room for.
  EXPECT_THROW(defaults->setObject(Array::make({str("a"), make<Object>()}).get(), "late"),
               PlatformError);
  EXPECT_THROW(defaults->setObject(Dictionary::make({{"k", Array::make({nullptr})}}).get(), "nil"),
               PlatformError);
  const auto nested = [](int depth) {
    Ref<Object> value = Number::withInteger(0);
    for (int i = 0; i < depth; ++i) value = Array::make({value});
    return value;
  };
  defaults->setObject(nested(kMaxPropertyListDepth - 1).get(), "deepest");
  EXPECT_THROW(defaults->setObject(nested(kMaxPropertyListDepth).get(), "deeper"), PlatformError);
  EXPECT_EQ(defaults->dictionaryRepresentation()->count(), 7U);
}

// Files another tool leaves, each written by Python: a binary file whose
// values share containers (a chain of 250 arrays, held again below 250
// more), which this store once lost, XML in UTF-16 with a byte-order mark
// and in ISO-8859-1 by its declaration, and a host's own preferences, of
// every kind a property list holds.
constexpr const char* kFilesOtherToolsWrite = R"(
import functools
chain = functools.reduce(lambda v, _: [v], range(250), 1)
shared = {'a': chain, 'b': functools.reduce(lambda v, _: [v], range(250), chain), 'c': 'caf\u00e9'}
latin = plistlib.dumps({'caf\u00e9': 'na\u00efve', 'n': 1}).decode()
host = {'NSWindow Frame main': '0 0 800 600', 'bookmark': b'\x00\xffmark',
        'lastLaunch': datetime.datetime(2025, 1, 1, 12, 30, 0, 500000),
        'launches': 2**64 - 1, 'oldest': -2**63, '\u00e9\x00': -0.0,
        'nested': {'k\x00': [True, False, 1.5, {}, datetime.datetime(1999, 12, 31), 'caf\u00e9']}}
files = [plistlib.dumps(shared, fmt=plistlib.FMT_BINARY),
         b'\xff\xfe' + latin.replace('UTF-8', 'UTF-16').encode('utf-16-le'),
         latin.replace('UTF-8', 'ISO-8859-1').encode('latin-1'),
         plistlib.dumps(host, fmt=plistlib.FMT_BINARY, sort_keys=False)]
for i, data in enumerate(files):
    open(os.path.join(sys.argv[1], f'{i}.original'), 'wb').write(data)
)";

TEST_F(UserDefaultsTest, FilesOtherToolsWriteSurviveAWriteAndASecondLaunch) {
  const plistlib::Run made = plistlib::python(kFilesOtherToolsWrite, {folder.string()});
  ASSERT_EQ(made.status, 0) << made.out;
  const fs::path previous = UserDefaults::preferencesFolder();
  for (int kind = 0; kind < 4; ++kind) {
    // The host reads the file as its standard defaults and writes a key.
    UserDefaults::setPreferencesFolder(folder);
    const fs::path file = UserDefaults::standardUserDefaults()->file();
    const fs::path original = folder / (std::to_string(kind) + ".original");
    fs::copy_file(original, file, fs::copy_options::overwrite_existing);
    UserDefaults::setPreferencesFolder(folder);  // opened anew, from the file
    UserDefaults* defaults = UserDefaults::standardUserDefaults();
    EXPECT_GT(defaults->dictionaryRepresentation()->count(), 1U) << kind;
    defaults->setObject(Number::withInteger(1).get(), "launch");
    ASSERT_TRUE(defaults->synchronize());
    const std::size_t keys = defaults->dictionaryRepresentation()->count();

    // Launched again, it finds everything, changes a key just before it
    // ends normally, and the change reaches the file.
    const pid_t launch = ::fork();
    ASSERT_GE(launch, 0);
    if (launch == 0) {
      UserDefaults::setPreferencesFolder(folder);
      UserDefaults* again = UserDefaults::standardUserDefaults();
      const Ref<Number> launches = as<Number>(again->objectForKey("launch"));
      const bool found = launches != nullptr && launches->integerValue() == 1 &&
                         again->dictionaryRepresentation()->count() == keys;
      again->setObject(Number::withInteger(2).get(), "launch");
      std::exit(found ? 0 : 1);
    }
    int status = 0;
    ::waitpid(launch, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << kind;
    const plistlib::Run kept = plistlib::python(
        "sys.setrecursionlimit(10000)\n"
        "before = plistlib.load(open(sys.argv[1], 'rb'))\n"
        "after = plistlib.load(open(sys.argv[2], 'rb'))\n"
        "sys.exit(0 if after.pop('launch') == 2 and same(before, after) else 1)",
        {original.string(), file.string()});
    EXPECT_EQ(kept.status, 0) << kind << kept.out;
  }
  UserDefaults::setPreferencesFolder(previous);
}

TEST_F(UserDefaultsTest, TwoProcessesWritingAtOnceLoseNoKey) {
  // Another process writes its keys one write at a time, while this one
  // writes continually on a thread of its own and sets its keys meanwhile:
  // every write here merges a file the other changed.
  const std::string domain = "com.example.interleaved";
  constexpr int kKeys = 300;
  const pid_t other = ::fork();
  ASSERT_GE(other, 0);
  if (other == 0) {
    auto theirs = UserDefaults::open(domain, folder);
    bool written = true;
    for (int i = 0; i < kKeys; ++i) {
      theirs->setObject(Number::withInteger(i).get(), "theirs " + std::to_string(i));
      written = theirs->synchronize() && written;
    }
    std::_Exit(written ? 0 : 1);
  }
  auto ours = UserDefaults::open(domain, folder);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    while (!done) ours->synchronize();
  });
  for (int i = 0; i < kKeys; ++i) {
    ours->setObject(Number::withInteger(i).get(), "ours " + std::to_string(i));
    ::usleep(200);
  }
  int status = 0;
  ::waitpid(other, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  done = true;
  writer.join();
  // A last write takes in what the other wrote after this one's writes.
  ours->setObject(str("last").get(), "last");
  ASSERT_TRUE(ours->synchronize());
  EXPECT_EQ(ours->dictionaryRepresentation()->count(), 2U * kKeys + 1);
  EXPECT_EQ(UserDefaults::open(domain, folder)->dictionaryRepresentation()->count(),
            2U * kKeys + 1);
}

TEST_F(UserDefaultsTest, ADamagedFileNeverAbortsTheProcessAndIsKeptAside) {
  // A file cut short or garbled is kept aside byte for byte, and the domain
  // starts empty.
  const fs::path file = folder / "com.example.damaged.plist";
  plistlib::write(file, "{'a': 1, 'b': 'caf\\u00e9'}");
  const std::string whole = readFile(file);
  const std::string truncated = whole.substr(0, whole.size() - 5);
  writeFile(file, truncated);
  auto first = UserDefaults::open("com.example.damaged", folder);
  EXPECT_EQ(first->dictionaryRepresentation()->count(), 0U);
  EXPECT_EQ(readFile(folder / "com.example.damaged.plist.corrupt"), truncated);

  // A file damaged by another writer after it was read is kept aside at the
  // next write, and what this process holds is written.
  first->setObject(str("kept").get(), "mine");
  ASSERT_TRUE(first->synchronize());
  writeFile(file, "not a property list");
  first->setObject(str("still kept").get(), "mine");
  ASSERT_TRUE(first->synchronize());
  EXPECT_EQ(readFile(folder / "com.example.damaged.plist.corrupt-1"), "not a property list");
  EXPECT_TRUE(plistlib::reads(file, "{'mine': 'still kept'}"));
}

TEST_F(UserDefaultsTest, AnotherProcessesChangesSurviveTheNextWrite) {
  auto defaults = UserDefaults::open("com.example.shared", folder);
  for (const char* key : {"mine", "ours to remove", "theirs to change", "theirs to remove"}) {
    defaults->setObject(Number::withInteger(1).get(), key);
  }
  ASSERT_TRUE(defaults->synchronize());

  // Another process rewrites the file in place, then this one changes a key
  // that process changed too and removes one: this process's changes win
  // those keys, and the other process's changes hold for the rest, on disk
  // and in memory.
  const fs::path file = defaults->file();
  const plistlib::Run other = plistlib::python(
      "d = plistlib.load(open(sys.argv[1], 'rb'))\n"
      "d.update({'added': b'\\x00', 'theirs to change': 2, 'mine': 'overwritten'})\n"
      "del d['theirs to remove']\n"
      "open(sys.argv[1], 'wb').write(plistlib.dumps(d, fmt=plistlib.FMT_BINARY))",
      {file.string()});
  ASSERT_EQ(other.status, 0) << other.out;
  defaults->setObject(Number::withInteger(2).get(), "mine");
  defaults->removeObjectForKey("ours to remove");
  ASSERT_TRUE(defaults->synchronize());
  EXPECT_TRUE(plistlib::reads(file, "{'mine': 2, 'theirs to change': 2, 'added': b'\\x00'}"));
  EXPECT_EQ(as<Number>(defaults->objectForKey("theirs to change").get())->integerValue(), 2);
  EXPECT_EQ(as<Data>(defaults->objectForKey("added").get())->bytes(), "\0"s);
  EXPECT_EQ(defaults->objectForKey("theirs to remove"), nullptr);
}

TEST_F(UserDefaultsTest, TheMainThreadNeverWaitsForTheDisk) {
  auto defaults = UserDefaults::open("com.example.slow", folder);
  defaults->setObject(str("first").get(), "value");
  ASSERT_TRUE(defaults->synchronize());

  // Another writer holds the folder, so the background writer waits. Were
  // the main thread to wait with it, the watchdog would free it.
  const int held = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  std::atomic<bool> done{false};
  std::thread watchdog([&] {
    for (int tick = 0; tick < 3000 && !done; ++tick) ::usleep(10000);
    if (!done.exchange(true)) ::flock(held, LOCK_UN);
  });
  for (int frame = 0; frame < 600; ++frame) {  // ten seconds of a live resize
    defaults->setObject(Number::withInteger(frame).get(), "frame");
    MainQueue::main().runFor(seconds(1.0 / 60));
  }
  EXPECT_FALSE(done.exchange(true)) << "the watchdog freed the main thread";
  watchdog.join();
  EXPECT_EQ(defaults->fileWrites(), 1U);  // the writer is still waiting
  EXPECT_TRUE(plistlib::reads(defaults->file(), "{'value': 'first'}"));

  ::close(held);
  EXPECT_TRUE(defaults->synchronize());  // waits for the writer
  EXPECT_TRUE(plistlib::reads(defaults->file(), "{'value': 'first', 'frame': 599}"));
}

TEST_F(UserDefaultsTest, OpeningADomainRemovesTheTemporaryFilesOfWritersThatWereKilled) {
  // A writer that is gone left its temporary file; one still running (here,
  // the process that started this test) is writing its own.
  const std::string temporary = ".com.example.killed.plist.";
  const pid_t gone = ::fork();
  ASSERT_GE(gone, 0);
  if (gone == 0) std::_Exit(0);
  ::waitpid(gone, nullptr, 0);
  writeFile(folder / (temporary + std::to_string(gone) + ".Xy12Zw"), "cut short");
  const std::string running = temporary + std::to_string(::getppid()) + ".Ab12Cd";
  writeFile(folder / running, "being written");
  UserDefaults::open("com.example.killed", folder);
  EXPECT_EQ(namesIn(folder), std::vector{running});
}

TEST_F(UserDefaultsTest, ChangesWithinASecondShareAWriteAndLaterChangesGetTheirOwn) {
  auto defaults = UserDefaults::open("com.example.turns", folder);
  // What the file holds once the background writer has written `expected`,
  // by itself (a synchronize would write it instead): waits up to ten
  // seconds for it.
  const auto stored = [&](std::int64_t expected) {
    std::int64_t found = -1;
    for (int wait = 0; wait < 1000 && found != expected; ++wait) {
      const Ref<Number> number =
          as<Number>(UserDefaults::open("com.example.turns", folder)->objectForKey("n"));
      found = number != nullptr ? number->integerValue() : -1;
      if (found != expected) ::usleep(10000);
    }
    return found;
  };
  // A burst of changes, and another in a later turn of the main queue half
  // a second on: one write, a second after the first change.
  for (int i = 0; i < 1000; ++i) defaults->setObject(Number::withInteger(i).get(), "n");
  MainQueue::main().runFor(seconds(0.5));
  defaults->setObject(Number::withInteger(2).get(), "n");
  MainQueue::main().runFor(seconds(0.4));
  EXPECT_FALSE(fs::exists(defaults->file()));
  MainQueue::main().runFor(seconds(0.2));
  EXPECT_EQ(stored(2), 2);
  EXPECT_EQ(defaults->fileWrites(), 1U);
  // A change after that write is written in its turn.
  defaults->setObject(Number::withInteger(3).get(), "n");
  MainQueue::main().runFor(seconds(1.1));
  EXPECT_EQ(stored(3), 3);
  EXPECT_EQ(defaults->fileWrites(), 2U);
  // Removing what is not there writes nothing.
  defaults->removeObjectForKey("never");
  MainQueue::main().runFor(seconds(1.1));
  EXPECT_EQ(defaults->fileWrites(), 2U);
}

TEST_F(UserDefaultsTest, AFileThatCannotBeReadOrWrittenIsNeverReplacedAndChangesWait) {
  const fs::path file = folder / "com.example.fifo.plist";
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);  // opening it to read must not wait
  auto defaults = UserDefaults::open("com.example.fifo", folder);
  defaults->setObject(str("in memory").get(), "key");
  EXPECT_EQ(as<String>(defaults->objectForKey("key").get())->utf8(), "in memory");
  EXPECT_FALSE(defaults->synchronize());
  MainQueue::main().runFor(seconds(1.5));  // the background writer fails too
  EXPECT_FALSE(defaults->synchronize());
  EXPECT_EQ(defaults->fileWrites(), 0U);
  EXPECT_EQ(namesIn(folder), std::vector{file.filename().string()});
  EXPECT_TRUE(fs::is_fifo(file));

  // Once the file can be read, the change still pending goes out beside
  // what the file holds.
  fs::remove(file);
  plistlib::write(file, "{'host': 'value'}");
  EXPECT_TRUE(defaults->synchronize());
  EXPECT_TRUE(plistlib::reads(file, "{'host': 'value', 'key': 'in memory'}"));
  const std::string before = readFile(file);

  // The disk refuses the write (a file-size limit holds also for root): the
  // previous file stays whole, with no temporary beside it.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit tiny = saved;
  tiny.rlim_cur = 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
  defaults->setObject(str("a value long enough to pass the limit").get(), "key");
  EXPECT_FALSE(defaults->synchronize());
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(readFile(file), before);
  EXPECT_EQ(namesIn(folder).size(), 1U);
  EXPECT_TRUE(defaults->synchronize());  // the change stayed pending
  EXPECT_NE(readFile(file).find("long enough"), std::string::npos);

  // A path that cannot be opened for another reason than its absence (a
  // symbolic link to itself) is not replaced either.
  const fs::path loop = folder / "com.example.loop.plist";
  fs::create_symlink(loop.filename(), loop);
  auto looped = UserDefaults::open("com.example.loop", folder);
  looped->setObject(str("in memory").get(), "key");
  EXPECT_FALSE(looped->synchronize());
  EXPECT_TRUE(fs::is_symlink(loop));
}

TEST_F(UserDefaultsTest, TheGlobalDomainIsAFileOfItsOwnThatTheStandardDefaultsSearch) {
  const fs::path previous = UserDefaults::preferencesFolder();
  UserDefaults::setPreferencesFolder(folder);
  UserDefaults* standard = UserDefaults::standardUserDefaults();
  const auto text = [](const Ref<Object>& value) {
    const auto* string = as<String>(value.get());
    return string != nullptr ? string->utf8() : "(none)";
  };
  standard->setPersistentDomain(
      Dictionary::make({{"AppleLocale", str("en")}, {"AppleMeasurementUnits", str("cm")}}).get(),
      NSGlobalDomain);
  standard->setObject(str("fr").get(), "AppleLocale");  // the application's own comes first
  EXPECT_EQ(text(standard->objectForKey("AppleLocale")), "fr");
  EXPECT_EQ(text(standard->objectForKey("AppleMeasurementUnits")), "cm");

  // Replaced as a whole; a refused replacement changes nothing.
  standard->setPersistentDomain(Dictionary::make({{"AppleLocale", str("de")}}).get(),
                                NSGlobalDomain);
  EXPECT_THROW(standard->setPersistentDomain(
                   Dictionary::make({{"k", Array::make({make<Object>()})}}).get(), NSGlobalDomain),
               PlatformError);
  EXPECT_THROW((void)standard->persistentDomainForName("../elsewhere"), PlatformError);
  EXPECT_EQ(standard->persistentDomainForName(NSGlobalDomain)->count(), 1U);

  // Written with the standard defaults under the name macOS gives it; a
  // domain opened by itself does not search it.
  ASSERT_TRUE(standard->synchronize());
  EXPECT_EQ(text(UserDefaults::open(".GlobalPreferences", folder)->objectForKey("AppleLocale")),
            "de");
  EXPECT_EQ(text(UserDefaults::open("com.example.alone", folder)->objectForKey("AppleLocale")),
            "(none)");
  UserDefaults::setPreferencesFolder(previous);
}

}  // namespace
}  // namespace tovik
