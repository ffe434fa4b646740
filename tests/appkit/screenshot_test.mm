// What the configured main window looks like on GNUstep: the X server's
// pixels under the window's frame, written as PNG (docs/ shows one). The
// pixels are read where the window's frame says the window is, the same
// mapping the clicks use.
#import <AppKit/AppKit.h>
#include <gtest/gtest.h>
#include <objc/runtime.h>
// After gtest: Xlib's macros (None, Bool) would rename gtest's own names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "tests/appkit/support.h"
#include "tests/appkit/x_input.h"

namespace {

using appkit_test::addView;

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

// The screen's pixels under the window's frame.
Surface capture(NSWindow* window) {
  Surface none(nullptr, &cairo_surface_destroy);
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return none;
  const NSRect frame = [window frame];
  const int screenHeight = DisplayHeight(display, DefaultScreen(display));
  const auto width = static_cast<unsigned>(NSWidth(frame));
  const auto height = static_cast<unsigned>(NSHeight(frame));
  XImage* image =
      XGetImage(display, DefaultRootWindow(display), static_cast<int>(NSMinX(frame)),
                static_cast<int>(screenHeight - NSMaxY(frame)), width, height, AllPlanes, ZPixmap);
  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(width),
                                             static_cast<int>(height)),
                  &cairo_surface_destroy);
  if (image != nullptr) {
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (unsigned y = 0; y < height; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
      for (unsigned x = 0; x < width; ++x)
        row[x] = XGetPixel(image, static_cast<int>(x), static_cast<int>(y)) & 0xFFFFFFU;
    }
    cairo_surface_mark_dirty(surface.get());
    XDestroyImage(image);
  }
  XCloseDisplay(display);
  return surface;
}

std::uint32_t pixel(cairo_surface_t* surface, NSWindow* window, NSPoint inWindow) {
  const auto* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const auto y = static_cast<int>(NSHeight([window frame]) - inWindow.y);
  std::uint32_t value = 0;
  std::memcpy(&value, data + y * stride + static_cast<int>(inWindow.x) * 4, sizeof value);
  return value & 0xFFFFFFU;
}

void fillTeal(id self, SEL /*cmd*/, NSRect /*dirty*/) {
  [[NSColor colorWithCalibratedRed:0 green:0.5 blue:0.5 alpha:1] set];
  NSRectFill([self bounds]);
}

TEST(Screenshot, TheConfiguredMainWindowAsTheXServerShowsIt) {
  @autoreleasepool {
    appkit_test::XInput x;
    NSWindow* window = appkit_test::windowOf(appkit_test::hostMainWindowClass());
    [window setTitle:@"Configured main window"];
    Class strip = objc_allocateClassPair([NSView class], "HostTitlebarPaintedStrip", 0);
    class_addMethod(strip, @selector(drawRect:), reinterpret_cast<IMP>(&fillTeal),
                    (std::string("v@:") + @encode(NSRect)).c_str());
    objc_registerClassPair(strip);
    NSView* content = [window contentView];
    NSView* stripView = appkit_test::addStrip(strip, window);
    NSButton* control =
        static_cast<NSButton*>(addView([NSButton class], stripView, NSMakeRect(310, 6, 80, 28)));
    [control setTitle:@"Host"];
    appkit_test::configureMainWindow(window);
    ASSERT_TRUE(appkit_test::showApart(x, {window}));
    [window display];
    appkit_test::eventsUntil(
        ^{
          return NO;
        },
        0.3);

    Surface shot = capture(window);
    ASSERT_NE(shot, nullptr);
    ASSERT_EQ(cairo_surface_write_to_png(shot.get(), "appkit-main-window.png"),
              CAIRO_STATUS_SUCCESS);
    Surface read(cairo_image_surface_create_from_png("appkit-main-window.png"),
                 &cairo_surface_destroy);
    ASSERT_EQ(cairo_surface_status(read.get()), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(read.get()), NSWidth([window frame]));
    EXPECT_EQ(cairo_image_surface_get_height(read.get()), NSHeight([window frame]));
    // The strip's colour where the strip is, not below it.
    const NSPoint onStrip = appkit_test::centreInWindow(stripView);
    const NSPoint below = [content convertPoint:NSMakePoint(150, 100) toView:nil];
    EXPECT_EQ(pixel(read.get(), window, onStrip), 0x008080U);
    EXPECT_NE(pixel(read.get(), window, below), 0x008080U);
    appkit_test::unconfigureMainWindow();
    [window close];
  }
}

}  // namespace
