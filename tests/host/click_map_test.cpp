// The click map as tovik-host writes it to a PNG file, read back point by point.
#include "host/click_map.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/testing.h"
#include "platform/window_metrics.h"

namespace tovik {
namespace {

namespace fs = std::filesystem;

Object* plugin() {  // loaded from its module as tovik-host loads it
  static const Ref<Object> instance =
      testing::makePlugin(testing::loadPluginClass(TOVIK_MODULE_PATH));
  return instance.get();
}

int runHost(const std::string& arguments) {
  const int status = std::system((std::string(TOVIK_HOST_PATH) + " " + arguments).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ClickMapTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_); }
  void TearDown() override { fs::remove_all(dir_); }
  const fs::path dir_ =
      fs::temp_directory_path() / ("click_map_test." + std::to_string(::getpid()));
};

TEST_F(ClickMapTest, TheStripClicksThroughOnlyAfterConfiguringAndABadWidthIsRefused) {
  ClickMapOptions o;
  o.width = 700;
  o.file = (dir_ / "map.png").string();
  ASSERT_TRUE(renderClickMap(plugin(), o));
  const std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> picture(
      cairo_image_surface_create_from_png(o.file.c_str()), &cairo_surface_destroy);
  ASSERT_EQ(cairo_surface_status(picture.get()), CAIRO_STATUS_SUCCESS);
  ClickMapSamples shape;
  shape.before.columns = shape.after.columns = o.width;
  shape.before.rows = shape.after.rows = kClickMapRows;
  // Whether the pixel has the label's colour, to the nearest 8-bit step.
  auto at = [&](bool after, double column, double row, std::string_view label) {
    const PixelPoint p =
        clickMapPixel(shape, after, static_cast<int>(column), static_cast<int>(row));
    std::uint32_t pixel = 0;
    std::memcpy(
        &pixel,
        cairo_image_surface_get_data(picture.get()) +
            static_cast<std::ptrdiff_t>(p.y) * cairo_image_surface_get_stride(picture.get()) +
            static_cast<std::ptrdiff_t>(p.x) * 4,
        sizeof pixel);
    auto near = [](std::uint32_t channel, double wanted) {
      return std::abs(static_cast<double>(channel & 0xFFU) - wanted * 255) <= 1.0;
    };
    const Rgb c = clickMapColour(label);
    return near(pixel >> 16U, c.r) && near(pixel >> 8U, c.g) && near(pixel, c.b);
  };
  // The close button sits mid-strip; the unified toolbar makes the strip taller.
  const double closeColumn = metrics::kButtonLeftInset + metrics::kButtonSize / 2;
  EXPECT_TRUE(at(false, closeColumn, metrics::kTitlebarHeight / 2, "_NSThemeCloseWidget"));
  EXPECT_TRUE(
      at(true, closeColumn, metrics::kUnifiedToolbarStripHeight / 2, "_NSThemeCloseWidget"));
  // Away from the buttons: the titlebar's own before, the host's content after.
  EXPECT_FALSE(at(false, o.width - 40, 12, kHostContentLabel));
  EXPECT_TRUE(at(true, o.width - 40, 12, kHostContentLabel));
  // The host's strip views, 80 and 208 points in: after configuring, the one
  // whose class name holds "toolbar" gives way to the content.
  EXPECT_FALSE(at(false, 140, 14, "HostSearchField"));
  EXPECT_TRUE(at(true, 140, 14, "HostSearchField"));
  EXPECT_TRUE(at(true, 268, 14, kHostContentLabel));

  const std::string out = (dir_ / "out.png").string();
  for (const char* width : {"0", "abc", "900x", "100000"}) {
    EXPECT_EQ(runHost(std::string("clickmap --width ") + width + " " + out + " 2>/dev/null"), 2)
        << width;
  }
  EXPECT_EQ(runHost("clickmap " + out + " --width 2>/dev/null"), 2);
  EXPECT_FALSE(fs::exists(out));
  EXPECT_EQ(runHost("clickmap --width 400 --toolbar " + out + " >/dev/null"), 0);
  EXPECT_TRUE(fs::exists(out));
  // Options are not modules to load: --help answers, another is refused.
  EXPECT_EQ(runHost("--help | grep -q '^usage: tovik-host \\[MODULE\\]'"), 0);
  EXPECT_EQ(runHost("--verbose 2>/dev/null"), 2);
}

// cairo's and fontconfig's font caches are given back at exit for the leak checker.
class FontCachesFreedAtExit : public ::testing::Environment {
 public:
  void TearDown() override {
    cairo_debug_reset_static_data();
    FcFini();
  }
};
const auto* const kFontCaches = ::testing::AddGlobalTestEnvironment(new FontCachesFreedAtExit);

}  // namespace
}  // namespace tovik
