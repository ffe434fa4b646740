#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovik::bench {

// A ratio benchmark's command line. With --figure=NAME it runs in driver
// mode: that figure alone, on one side (--side=, "real" unless said), for
// about --operations= operations, as scripts/callgrind-ratios.sh counts
// them. --list-figures and --list-sides name what it has. Every other
// argument is Google Benchmark's.
struct CommandLine {
  std::string_view figure;
  std::string_view side = "real";
  std::int64_t operations = 0;
  bool listFigures = false;
  bool listSides = false;
  std::vector<char*> rest;  // the program's name and Google Benchmark's arguments

  CommandLine(int argc, char** argv, std::int64_t defaultOperations)
      : operations(defaultOperations), rest{argv[0]} {
    for (int i = 1; i < argc; ++i) {
      const std::string_view arg = argv[i];
      if (arg == "--list-figures") {
        listFigures = true;
      } else if (arg == "--list-sides") {
        listSides = true;
      } else if (arg.starts_with("--figure=")) {
        figure = arg.substr(9);
      } else if (arg.starts_with("--side=")) {
        side = arg.substr(7);
      } else if (arg.starts_with("--operations=")) {
        operations = std::stoll(std::string(arg.substr(13)));
      } else {
        rest.push_back(argv[i]);
      }
    }
  }

  // Google Benchmark's run of the figures `registerFigures` registers, told
  // by `reporter`; 1 for an argument it does not know.
  int runBenchmarks(void (*registerFigures)(), benchmark::BenchmarkReporter& reporter) {
    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    if (benchmark::ReportUnrecognizedArguments(count, rest.data())) return 1;
    registerFigures();
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
  }
};

// A finished iteration run of a figure's side, named "figure/side": its
// figure and side. None for an error, an aggregate or another name.
struct FigureSide {
  std::string figure;
  std::string side;
};
inline std::optional<FigureSide> figureSideOf(const benchmark::BenchmarkReporter::Run& run) {
  using Run = benchmark::BenchmarkReporter::Run;
  if (run.error_occurred || run.run_type != Run::RT_Iteration || run.iterations == 0) return {};
  const std::string& name = run.run_name.function_name;
  const std::size_t slash = name.rfind('/');
  if (slash == std::string::npos) return {};
  return FigureSide{name.substr(0, slash), name.substr(slash + 1)};
}

// Prints each name on a line of its own, as --list-figures and --list-sides
// answer.
template <class Names, class NameOf>
int listNames(const Names& names, NameOf nameOf) {
  for (const auto& entry : names) std::printf("%s\n", std::string(nameOf(entry)).c_str());
  return 0;
}

}  // namespace tovik::bench
