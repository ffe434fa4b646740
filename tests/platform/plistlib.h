#pragma once

// Python's plistlib, the reference reader and writer of property lists that
// tests check files against: it makes the files a host or another tool
// would leave, and reads back every file written. Needs python3.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tovik::plistlib {

namespace fs = std::filesystem;

struct Run {
  int status;  // the exit status; -1 when python3 could not be run
  std::string out;
};

// Runs a Python program with plistlib imported and `same(a, b)` defined:
// equality of property-list values that also holds types apart (True from
// 1, 1 from 1.0) and tells -0.0 from 0.0.
inline Run python(const std::string& program, const std::vector<std::string>& args = {}) {
  static const std::string kPrelude = R"(import datetime, math, os, plistlib, sys
def same(a, b):
    if type(a) is not type(b):
        return False
    if isinstance(a, float):
        return (math.isnan(a) and math.isnan(b)) or (a == b and math.copysign(1, a) == math.copysign(1, b))
    if isinstance(a, dict):
        return a.keys() == b.keys() and all(same(a[k], b[k]) for k in a)
    if isinstance(a, list):
        return len(a) == len(b) and all(same(x, y) for x, y in zip(a, b))
    return a == b
)";
  const fs::path script =
      fs::temp_directory_path() / ("tovik-plistlib-" + std::to_string(::getpid()) + ".py");
  std::ofstream(script) << kPrelude << program << "\n";
  std::string command = "python3 '" + script.string() + "'";
  for (const std::string& arg : args) command += " '" + arg + "'";
  command += " 2>&1";
  Run run{-1, {}};
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer{};
  for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) {
    run.out.append(buffer.data(), n);
  }
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  fs::remove(script);
  return run;
}

// Writes `value`, a Python expression, to `path` as plistlib writes it in
// `format` (FMT_BINARY or FMT_XML).
inline void write(const fs::path& path, const std::string& value,
                  const std::string& format = "FMT_BINARY") {
  const Run run = python("open(sys.argv[1], 'wb').write(plistlib.dumps(" + value +
                             ", fmt=plistlib." + format + ", sort_keys=False))",
                         {path.string()});
  ASSERT_EQ(run.status, 0) << run.out;
}

// Whether plistlib reads the file at `path` as exactly `value`, a Python
// expression.
inline ::testing::AssertionResult reads(const fs::path& path, const std::string& value) {
  const Run run = python(
      "with open(sys.argv[1], 'rb') as f:\n"
      "    found = plistlib.load(f)\n"
      "expected = " +
          value +
          "\n"
          "if not same(found, expected):\n"
          "    print('plistlib read', repr(found))\n"
          "    sys.exit(1)",
      {path.string()});
  if (run.status == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << path << " is not " << value << ": " << run.out;
}

}  // namespace tovik::plistlib
