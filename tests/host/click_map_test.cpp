// The click map as a user of tovik-host sees it: the picture written to a
// PNG file, read back and looked at point by point.
#include "host/click_map.h"

#include <cairo.h>
#include <dlfcn.h>
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

#include "platform/window_metrics.h"

namespace tovik {
namespace {

namespace fs = std::filesystem;

// The plug-in, loaded from its module as tovik-host loads it.
Object* plugin() {
  static const Ref<Object> instance = [] {
    if (dlopen(TOVIK_MODULE_PATH, RTLD_NOW | RTLD_LOCAL) == nullptr) return Ref<Object>();
    Class* cls = objc_getClass("TovikMacWindowPlugin");
    return cls != nullptr ? send<Ref<Object>>(class_createInstance(cls).get(), "init")
                          : Ref<Object>();
  }();
  return instance.get();
}

class Picture {
 public:
  explicit Picture(const std::string& path)
      : surface_(cairo_image_surface_create_from_png(path.c_str()), &cairo_surface_destroy) {}
  [[nodiscard]] bool ok() const {
    return cairo_surface_status(surface_.get()) == CAIRO_STATUS_SUCCESS;
  }
  [[nodiscard]] int width() const { return cairo_image_surface_get_width(surface_.get()); }
  // Whether the pixel at `at` has the colour, to the nearest 8-bit step.
  [[nodiscard]] bool has(PixelPoint at, const Rgb& colour) const {
    const unsigned char* row =
        cairo_image_surface_get_data(surface_.get()) +
        static_cast<std::ptrdiff_t>(at.y) * cairo_image_surface_get_stride(surface_.get());
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, row + static_cast<std::ptrdiff_t>(at.x) * 4, sizeof pixel);
    auto near = [](std::uint32_t channel, double wanted) {
      return std::abs(static_cast<double>(channel & 0xFFU) - wanted * 255) <= 1.0;
    };
    return near(pixel >> 16U, colour.r) && near(pixel >> 8U, colour.g) && near(pixel, colour.b);
  }

 private:
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface_;
};

class ClickMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(plugin(), nullptr);
    dir_ = fs::temp_directory_path() /
           ("click_map_test." + std::to_string(::getpid()) + "." +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Options for a window of that width, drawn into the test's directory.
  ClickMapOptions options(int width) {
    ClickMapOptions o;
    o.width = width;
    o.file = (dir_ / "map.png").string();
    return o;
  }

  fs::path dir_;
};

const Rgb kClose = clickMapColour("_NSThemeCloseWidget");
const Rgb kHost = clickMapColour(kHostContentLabel);

TEST_F(ClickMapTest, CloseButtonInBothHalvesAndTheStripClicksThroughOnlyAfterConfiguring) {
  const ClickMapOptions o = options(700);
  ASSERT_TRUE(renderClickMap(plugin(), o));
  const Picture picture(o.file);
  ASSERT_TRUE(picture.ok());
  // The geometry of a window of that width, as the picture lays it out.
  ClickMapSamples shape;
  shape.before.columns = shape.after.columns = o.width;
  shape.before.rows = shape.after.rows = kClickMapRows;
  EXPECT_GT(picture.width(), clickMapPixel(shape, true, o.width - 1, 0).x);

  const int closeColumn = static_cast<int>(metrics::kButtonLeftInset + metrics::kButtonSize / 2);
  // The buttons sit in the middle of the strip, which the plug-in's unified
  // toolbar makes taller.
  const int closeRowBefore = static_cast<int>(metrics::kTitlebarHeight / 2);
  const int closeRowAfter = static_cast<int>(metrics::kUnifiedToolbarStripHeight / 2);
  EXPECT_TRUE(picture.has(clickMapPixel(shape, false, closeColumn, closeRowBefore), kClose));
  EXPECT_TRUE(picture.has(clickMapPixel(shape, true, closeColumn, closeRowAfter), kClose));

  // The strip away from the buttons and items: the titlebar's own before,
  // the host's content after.
  for (const int row : {3, 12, 20}) {
    EXPECT_FALSE(picture.has(clickMapPixel(shape, false, o.width - 40, row), kHost)) << row;
    EXPECT_TRUE(picture.has(clickMapPixel(shape, true, o.width - 40, row), kHost)) << row;
  }
  // Beneath the strip: the content in both halves.
  EXPECT_TRUE(picture.has(clickMapPixel(shape, false, o.width / 2, kClickMapRows - 2), kHost));
  EXPECT_TRUE(picture.has(clickMapPixel(shape, true, o.width / 2, kClickMapRows - 2), kHost));
}

int runHost(const std::string& arguments) {
  const int status = std::system((std::string(TOVIK_HOST_PATH) + " " + arguments).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ClickMapTest, TheHostRefusesANonsenseWidthAndDrawsWithAGoodOne) {
  const fs::path out = dir_ / "out.png";
  for (const char* width : {"0", "-300", "abc", "900x", "9e2", "100000", "''"}) {
    EXPECT_EQ(
        runHost(std::string("clickmap --width ") + width + " " + out.string() + " 2>/dev/null"), 2)
        << width;
  }
  EXPECT_EQ(runHost("clickmap " + out.string() + " --width 2>/dev/null"), 2);
  EXPECT_EQ(runHost("clickmap --wide 500 " + out.string() + " 2>/dev/null"), 2);
  EXPECT_EQ(runHost("clickmap 2>/dev/null"), 2);
  EXPECT_FALSE(fs::exists(out));

  ASSERT_EQ(runHost("clickmap --width 400 --toolbar " + out.string() + " >/dev/null"), 0);
  EXPECT_TRUE(Picture(out.string()).ok());
}

// cairo and fontconfig keep their font caches for the life of the process;
// they are given back at exit, as tovik-host does, for the leak checker.
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
