// The defaults store on any file at a domain's path: opened, its values set
// again under keys of their own, a value nested to the edge of the limit
// set (taken, or refused with the domain unchanged), synchronized, and
// opened again. A synchronize never fails here, the file it leaves is one
// the store reads (or none, when nothing was there to write), and the
// domain opened again holds exactly what the first held. Run with -close_fd_mask=2: the store says
// on the standard error when it keeps a damaged file aside.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/binary_property_list.h"
#include "platform/main_queue.h"
#include "platform/property_list.h"
#include "platform/property_list_file.h"
#include "platform/user_defaults.h"

namespace {

namespace fs = std::filesystem;
using namespace tovik;

const fs::path& folder() {
  static const fs::path made = [] {
    std::string pattern = (fs::temp_directory_path() / "tovik-fuzz-defaults-XXXXXX").string();
    return fs::path(::mkdtemp(pattern.data()));
  }();
  return made;
}

// Aborts, saying what failed to hold (seen when the input is run again by
// hand: the fuzz runs drop the target's standard error).
void check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "user_defaults_fuzzer: %s\n", what);
  std::abort();
}

// `value` inside `levels` arrays.
Ref<Object> nestedIn(Ref<Object> value, int levels) {
  for (int i = 0; i < levels; ++i) value = Array::make({value});
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Writes are handed over on the main queue a moment after a change; the
  // queue runs on a clock of the fuzzer's, so nothing is left pending.
  static ManualClock clock;
  static const bool clockSet = (MainQueue::main().useClock(&clock), true);
  (void)clockSet;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder())) fs::remove_all(entry.path(), error);

  const fs::path file = folder() / "fuzz.plist";
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  const Ref<UserDefaults> first = UserDefaults::open("fuzz", folder());
  const Ref<Dictionary> read = first->dictionaryRepresentation();
  int again = 0;
  for (const auto& [key, value] : read->entries()) {
    if (again++ == 8) break;
    first->setObject(value.get(), key + " again");
  }

  // The nesting: one of the first value's depth plus a few levels, or plus
  // enough to meet the limit.
  constexpr int kLevels[] = {0,
                             1,
                             2,
                             kMaxPropertyListDepth - 3,
                             kMaxPropertyListDepth - 2,
                             kMaxPropertyListDepth - 1,
                             kMaxPropertyListDepth};
  const int levels = kLevels[size % std::size(kLevels)];
  const Ref<Object> inner =
      read->count() > 0 ? read->entries().begin()->second : Number::withInteger(1);
  const Ref<Dictionary> beforeNesting = first->dictionaryRepresentation();
  try {
    first->setObject(nestedIn(inner, levels).get(), "nested");
  } catch (const PlatformError&) {
    check(binaryPropertyList(first->dictionaryRepresentation().get()) ==
              binaryPropertyList(beforeNesting.get()),
          "a refused value changed the domain");
  }

  check(first->synchronize(), "synchronize failed");
  MainQueue::main().runFor(seconds(2));
  // No file only when nothing was ever there to write.
  const PropertyListFile::State state = readPropertyListFile(file, std::nullopt).state;
  check(state == PropertyListFile::State::Read || (state == PropertyListFile::State::Absent &&
                                                   first->dictionaryRepresentation()->count() == 0),
        "the store left a file it cannot read");
  const Ref<UserDefaults> second = UserDefaults::open("fuzz", folder());
  check(binaryPropertyList(second->dictionaryRepresentation().get()) ==
            binaryPropertyList(first->dictionaryRepresentation().get()),
        "the domain opened again holds something else");
  return 0;
}
