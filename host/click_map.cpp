#include "host/click_map.h"

#include <cairo.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <memory>

#include "platform/main_queue.h"
#include "platform/testing.h"

namespace tovik {

namespace {

// The host's own views in the strip: one clicked as usual, one whose class
// name holds "toolbar" and so gives way once the window is configured.
constexpr std::initializer_list<const char*> kHostStripViews = {"HostSearchField",
                                                                "HostToolbarButton"};

std::optional<int> parseWidth(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < kClickMapMinWidth || value > kClickMapMaxWidth) return std::nullopt;
  return value;
}

// FNV-1a: a hash that is the same in every run and on every machine.
std::uint32_t stableHash(std::string_view text) {
  std::uint32_t hash = 2166136261U;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619U;
  }
  return hash;
}

Rgb fromHsv(double hue, double saturation, double value) {
  const double c = value * saturation;
  const double h = hue * 6;
  const double x = c * (1 - std::fabs(std::fmod(h, 2) - 1));
  const double m = value - c;
  const std::array<Rgb, 6> sectors{
      {{c, x, 0}, {x, c, 0}, {0, c, x}, {0, x, c}, {x, 0, c}, {c, 0, x}}};
  const Rgb s = sectors.at(static_cast<std::size_t>(std::clamp(h, 0.0, 5.999)));
  return {s.r + m, s.g + m, s.b + m};
}

constexpr int kMargin = 12;
constexpr int kTitleHeight = 22;
constexpr int kCaptionHeight = 22;
constexpr int kMapsTop = kMargin + kTitleHeight + kCaptionHeight;
constexpr int kRulerHeight = 30;
constexpr int kRulerStep = 100;      // points between labelled ticks
constexpr int kRulerMinorStep = 10;  // points between small ticks
constexpr int kNoteLine = 18;
constexpr int kNotes = 2;
constexpr int kHalfGap = 24;
constexpr int kLegendGap = 16;
constexpr int kLegendLine = 20;
constexpr int kSwatch = 14;
constexpr int kMinImageWidth = 320;

int halfLeft(const ClickMapSamples& samples, bool after) {
  return after ? kMargin + samples.before.columns * kClickMapScale + kHalfGap : kMargin;
}

// The labels in the order the picture first meets them, for the legend.
std::vector<std::string> legendLabels(const ClickMapSamples& samples) {
  std::vector<std::string> labels;
  for (const HitGrid* grid : {&samples.before, &samples.after}) {
    for (const std::string& label : grid->labels) {
      if (std::find(labels.begin(), labels.end(), label) == labels.end()) labels.push_back(label);
    }
  }
  return labels;
}

void setColour(cairo_t* cr, const Rgb& colour) {
  cairo_set_source_rgb(cr, colour.r, colour.g, colour.b);
}

// One filled rectangle per run of equal answers along a row of points.
void drawGrid(cairo_t* cr, const HitGrid& grid, int left, int top) {
  for (int row = 0; row < grid.rows; ++row) {
    int start = 0;
    for (int column = 1; column <= grid.columns; ++column) {
      if (column < grid.columns && grid.at(column, row) == grid.at(start, row)) continue;
      setColour(cr, clickMapColour(grid.at(start, row)));
      cairo_rectangle(cr, left + start * kClickMapScale, top + row * kClickMapScale,
                      (column - start) * kClickMapScale, kClickMapScale);
      cairo_fill(cr);
      start = column;
    }
  }
}

void drawText(cairo_t* cr, double x, double y, const std::string& text) {
  cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, text.c_str());
}

std::string points(double value) { return std::to_string(std::lround(value)); }

// A dashed line across the half at the strip's lower edge.
void drawStripEdge(cairo_t* cr, const HitGrid& grid, int left) {
  if (grid.stripHeight >= grid.rows) return;
  const double y = kMapsTop + grid.stripHeight * kClickMapScale - 0.5;
  const std::array<double, 2> dash{6, 4};
  cairo_save(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 1);
  cairo_set_dash(cr, dash.data(), static_cast<int>(dash.size()), 0);
  cairo_move_to(cr, left, y);
  cairo_line_to(cr, left + grid.columns * kClickMapScale, y);
  cairo_stroke(cr);
  cairo_restore(cr);
}

// The host's strip views outlined and named, where they lie whatever a click
// there reaches.
void drawHostViews(cairo_t* cr, const ClickMapSamples& samples, int left) {
  cairo_save(cr);
  cairo_set_font_size(cr, 11);
  cairo_set_line_width(cr, 1);
  for (const HostViewOutline& view : samples.hostViews) {
    const double x = left + view.frame.origin.x * kClickMapScale + 0.5;
    const double y =
        kMapsTop +
        (samples.windowHeight - view.frame.origin.y - view.frame.size.height) * kClickMapScale +
        0.5;
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    cairo_rectangle(cr, x, y, view.frame.size.width * kClickMapScale - 1,
                    view.frame.size.height * kClickMapScale - 1);
    cairo_stroke(cr);
    drawText(cr, x + 4, y + 14, view.name);
  }
  cairo_restore(cr);
}

// A ruler in points under the half, its ticks at the columns they measure.
void drawRuler(cairo_t* cr, const HitGrid& grid, int left, int top) {
  cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
  cairo_set_line_width(cr, 1);
  for (int column = 0; column <= grid.columns; column += kRulerMinorStep) {
    const double x = left + column * kClickMapScale + 0.5;
    cairo_move_to(cr, x, top);
    cairo_line_to(cr, x, top + (column % kRulerStep == 0 ? 8 : 3));
  }
  cairo_move_to(cr, left, top + 0.5);
  cairo_line_to(cr, left + grid.columns * kClickMapScale, top + 0.5);
  cairo_stroke(cr);
  for (int column = 0; column <= grid.columns; column += kRulerStep) {
    // Beside its tick, or before it where it would run past the half.
    const std::string label = points(column) + " pt";
    cairo_text_extents_t extents{};
    cairo_text_extents(cr, label.c_str(), &extents);
    const double x = left + column * kClickMapScale;
    const double right = left + grid.columns * kClickMapScale;
    drawText(cr, x + 3 + extents.x_advance > right ? x - 3 - extents.x_advance : x + 3, top + 20,
             label);
  }
}

}  // namespace

HitGrid sampleHits(Window* window, int rows) {
  View* contentView = window->contentView();
  View* frameView = contentView->superview();
  const double height = window->frame().size.height;
  HitGrid grid;
  const CGRect belowStrip = window->contentLayoutRect();
  grid.stripHeight = height - (belowStrip.origin.y + belowStrip.size.height);
  grid.columns = static_cast<int>(window->frame().size.width);
  grid.rows = std::min(rows, static_cast<int>(height));
  grid.labels.reserve(static_cast<std::size_t>(grid.columns) * static_cast<std::size_t>(grid.rows));
  for (int row = 0; row < grid.rows; ++row) {
    for (int column = 0; column < grid.columns; ++column) {
      // The frame view has no superview: its frame is the window's bounds,
      // which is where a click's window coordinates are.
      const Ref<View> hit = frameView->hitTest({static_cast<double>(column), height - row});
      grid.labels.emplace_back(hit == nullptr             ? std::string(kNoViewLabel)
                               : hit.get() == contentView ? std::string(kHostContentLabel)
                                                          : hit->isa()->name());
    }
  }
  return grid;
}

std::optional<ClickMapOptions> parseClickMapArguments(std::span<const std::string_view> args) {
  ClickMapOptions options;
  bool haveFile = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--width") {
      if (i + 1 == args.size()) return std::nullopt;
      const std::optional<int> width = parseWidth(args[++i]);
      if (!width) return std::nullopt;
      options.width = *width;
    } else if (arg == "--toolbar") {
      options.toolbar = true;
    } else if (arg == "--fullscreen") {
      options.fullscreen = true;
    } else if (arg.starts_with("-") || haveFile || arg.empty()) {
      return std::nullopt;
    } else {
      options.file = std::string(arg);
      haveFile = true;
    }
  }
  if (!haveFile) return std::nullopt;
  return options;
}

ClickMapSamples sampleClickMaps(Object* plugin, const ClickMapOptions& options) {
  const testing::HostWindow host = testing::makeHostWindow(
      "clickmap", kHostStripViews, {static_cast<double>(options.width), kClickMapWindowHeight});
  Window* window = host.window.get();
  // The toolbar keeps its delegate weakly; the host holds it until the end.
  testing::HostToolbar toolbar;
  if (options.toolbar) {
    toolbar = testing::makeHostToolbar(
        "host.clickmap.toolbar", {{"HostFilterField", {120, 22}}, {"HostShareButton", {32, 22}}});
    window->setToolbar(toolbar.toolbar.get());
  }
  ClickMapSamples samples;
  samples.windowHeight = kClickMapWindowHeight;
  for (const Ref<View>& view : host.stripViews) {
    samples.hostViews.push_back(
        {view->isa()->name(), {view->convertPointToView({0, 0}, nullptr), view->frame().size}});
  }
  samples.before = sampleHits(window, kClickMapRows);
  send<void>(plugin, "configureMainWindowTitlebarWithWindowIdentifier:", str("clickmap").get());
  MainQueue::main().runUntilIdle();
  if (options.fullscreen) {
    window->toggleFullScreen(nullptr);
    // Past the plug-in's delayed refreshes after the transition.
    MainQueue::main().runFor(seconds(1.1));
  }
  samples.after = sampleHits(window, kClickMapRows);
  window->close();
  MainQueue::main().runUntilIdle();
  return samples;
}

Rgb clickMapColour(std::string_view label) {
  struct Known {
    std::string_view label;
    Rgb colour;
  };
  static constexpr std::array<Known, 13> kKnown{{
      {kHostContentLabel, {0.55, 0.78, 0.96}},
      {kNoViewLabel, {0.20, 0.20, 0.20}},
      {"_NSThemeCloseWidget", {0.93, 0.33, 0.31}},
      {"_NSThemeWidget", {0.96, 0.75, 0.25}},
      {"_NSThemeZoomWidget", {0.38, 0.77, 0.33}},
      {"NSThemeFrame", {0.60, 0.60, 0.62}},
      {"NSTitlebarContainerView", {0.72, 0.66, 0.86}},
      {"NSTitlebarView", {0.85, 0.85, 0.80}},
      {"_NSTitlebarDecorationView", {0.70, 0.70, 0.56}},
      {"NSVisualEffectView", {0.80, 0.90, 0.86}},
      {"NSToolbarView", {0.95, 0.60, 0.80}},
      {"NSToolbarItemViewer", {0.58, 0.42, 0.74}},
      {"NSButton", {0.90, 0.52, 0.20}},
  }};
  for (const Known& known : kKnown) {
    if (known.label == label) return known.colour;
  }
  const std::uint32_t hash = stableHash(label);
  constexpr double kHueSteps = 360;
  return fromHsv(static_cast<double>(hash % 360U) / kHueSteps,
                 0.45 + 0.1 * static_cast<double>((hash >> 9U) % 4U),
                 0.6 + 0.1 * static_cast<double>((hash >> 11U) % 3U));
}

PixelPoint clickMapPixel(const ClickMapSamples& samples, bool after, int column, int row) {
  return {halfLeft(samples, after) + column * kClickMapScale + kClickMapScale / 2,
          kMapsTop + row * kClickMapScale + kClickMapScale / 2};
}

bool drawClickMap(const ClickMapSamples& samples, const std::string& path) {
  const std::vector<std::string> labels = legendLabels(samples);
  const int mapsBottom =
      kMapsTop + std::max(samples.before.rows, samples.after.rows) * kClickMapScale;
  const int notesTop = mapsBottom + kRulerHeight;
  const int legendTop = notesTop + kNotes * kNoteLine + kLegendGap;
  const int width = std::max(
      kMinImageWidth, halfLeft(samples, true) + samples.after.columns * kClickMapScale + kMargin);
  const int height = legendTop + static_cast<int>(labels.size()) * kLegendLine + kMargin;
  const std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height), &cairo_surface_destroy);
  const std::unique_ptr<cairo_t, decltype(&cairo_destroy)> context(cairo_create(surface.get()),
                                                                   &cairo_destroy);
  cairo_t* cr = context.get();
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);

  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 13);
  constexpr int kBaselineAbove = 7;
  drawText(cr, kMargin, kMargin + kTitleHeight - kBaselineAbove,
           "The top " + std::to_string(samples.before.rows) + " points of a " +
               std::to_string(samples.before.columns) + " x " + points(kClickMapWindowHeight) +
               " point window, each point coloured by the view a click there reaches; 1 point = " +
               std::to_string(kClickMapScale) +
               " pixels. The dashed line is the lower edge of "
               "the titlebar strip; outlines are the host's views in it.");
  for (const bool after : {false, true}) {
    const HitGrid& grid = after ? samples.after : samples.before;
    const int left = halfLeft(samples, after);
    drawText(cr, left, kMapsTop - kBaselineAbove,
             std::string(after ? "after" : "before") + " configuring: the strip is " +
                 points(grid.stripHeight) + " points tall");
    drawGrid(cr, grid, left, kMapsTop);
    drawStripEdge(cr, grid, left);
    drawHostViews(cr, samples, left);
    drawRuler(cr, grid, left, mapsBottom + 2);
  }
  drawText(cr, kMargin, notesTop + kNoteLine - 4,
           "Configuring puts the plug-in's own NSToolbar (one invisible item) in place of any "
           "the host set: the host's toolbar items leave the window.");
  drawText(cr, kMargin, notesTop + 2 * kNoteLine - 4,
           "In a configured window a host view whose class name holds \"toolbar\" or "
           "\"titlebar\" gives way to what lies beneath (HostToolbarButton); any other is "
           "clicked as usual (HostSearchField).");

  int y = legendTop;
  for (const std::string& label : labels) {
    setColour(cr, clickMapColour(label));
    cairo_rectangle(cr, kMargin, y, kSwatch, kSwatch);
    cairo_fill(cr);
    drawText(cr, kMargin + kSwatch + 8, y + kSwatch - 2, label);
    y += kLegendLine;
  }
  return cairo_status(cr) == CAIRO_STATUS_SUCCESS &&
         cairo_surface_write_to_png(surface.get(), path.c_str()) == CAIRO_STATUS_SUCCESS;
}

bool renderClickMap(Object* plugin, const ClickMapOptions& options) {
  return drawClickMap(sampleClickMaps(plugin, options), options.file);
}

}  // namespace tovik
