// Percent-encoding and URL parsing, as the notification settings opener
// uses them once per call.
#include <benchmark/benchmark.h>

#include "platform/url.h"

namespace tovik {
namespace {

void encode(benchmark::State& state, const char* text) {
  auto string = str(text);
  CharacterSet* query = CharacterSet::URLQueryAllowedCharacterSet();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        stringByAddingPercentEncodingWithAllowedCharacters(string.get(), query));
  }
}
BENCHMARK_CAPTURE(encode, plain_identifier, "com.tarnwell.tovik.host");
BENCHMARK_CAPTURE(encode, spaces_and_accents,
                  "com.example.Caf\xC3\xA9 Cr\xC3\xA8me Br\xC3\xBBl\xC3\xA9"
                  "e");

void parse(benchmark::State& state) {
  auto string = str(
      "x-apple.systempreferences:com.apple.Notifications-Settings.extension?id=com.tarnwell.tovik");
  for (auto _ : state) benchmark::DoNotOptimize(URL::URLWithString(string.get()));
}
BENCHMARK(parse);

}  // namespace
}  // namespace tovik

BENCHMARK_MAIN();
